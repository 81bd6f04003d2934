#pragma once
// The tree's nodes: a thin read-only model over the document's reader table. A rebuild makes the
// root, one group node per run of bases with the same folder and one node per base the filters
// let through; each node keeps its item data (a reader index or a marker), text and image, as an
// item of a tree control does, so that the tree can change one picture or delete one node.
#include <QAbstractItemModel>
#include <QIcon>
#include <memory>
#include <vector>

#include "table/design_numbers.h"  // the markers a node's item data may hold

namespace vireo::views {
class CVireoDoc;
}

namespace vireo::shell {

inline constexpr const char* kRootText = "Vireo";

class BaseTreeModel final : public QAbstractItemModel {
  Q_OBJECT

 public:
  static constexpr int kItemDataRole = Qt::UserRole;  // int: a reader index or a marker
  static constexpr int kImageRole = Qt::UserRole + 1;  // int: the index in the image list
  static constexpr int kPathRole = Qt::UserRole + 2;   // QByteArray: a group's folder, a base's file

  explicit BaseTreeModel(QObject* parent = nullptr);
  ~BaseTreeModel() override;

  // Set once, before the first rebuild.
  void setImageList(std::vector<QIcon> images);
  // Deletes every node and inserts them again from the document's table.
  void rebuild(const views::CVireoDoc& doc);

  QModelIndex rootNode() const;
  // A node's item data; kNoReader for no node.
  int itemDataOf(const QModelIndex& node) const;
  int image(const QModelIndex& node) const;
  // The node of a base, or an invalid index when it is not in the tree.
  QModelIndex findBase(int readerIndex) const;
  void setImage(const QModelIndex& node, int image);
  void removeNode(const QModelIndex& node);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  struct Node;
  Node* nodeOf(const QModelIndex& index) const;
  QModelIndex indexOf(const Node* node) const;

  std::unique_ptr<Node> top_;  // invisible; its only child is the root
  std::vector<QIcon> images_;
};

}  // namespace vireo::shell
