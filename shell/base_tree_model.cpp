#include "shell/base_tree_model.h"

#include <QByteArray>
#include <QFile>

#include "dbx/layout.h"
#include "reader/image_open.h"
#include "shell/tree_images.h"
#include "views/vireo_doc.h"

namespace vireo::shell {

struct BaseTreeModel::Node {
  int itemData = kNoReader;
  QString text;
  int image = 0;
  std::string path;  // a group's folder, a base's file
  QString tip;       // shown instead of the path when set
  Node* parent = nullptr;
  int row = 0;
  std::vector<std::unique_ptr<Node>> children;

  Node* add(int data, QString label, int picture) {
    auto child = std::make_unique<Node>();
    child->itemData = data;
    child->text = std::move(label);
    child->image = picture;
    child->parent = this;
    child->row = static_cast<int>(children.size());
    children.push_back(std::move(child));
    return children.back().get();
  }
};

namespace {

QString fromFileSystem(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }

// The base's file name less its last four characters (the ".dbx" extension).
QString baseLabel(const std::string& baseName) {
  return fromFileSystem(baseName.size() < 4 ? std::string() : baseName.substr(0, baseName.size() - 4));
}

bool shownByFilters(const views::CVireoDoc& doc, const MessageBaseReader& reader) {
  if (reader.baseKind == dbx::kBaseKindNews && !doc.showNewsBases) return false;
  return reader.state != 0 || reader.baseKind < dbx::kBaseKindFolders || doc.showSystemBases;
}

}  // namespace

BaseTreeModel::BaseTreeModel(QObject* parent) : QAbstractItemModel(parent), top_(std::make_unique<Node>()) {}

BaseTreeModel::~BaseTreeModel() = default;

void BaseTreeModel::setImageList(std::vector<QIcon> images) { images_ = std::move(images); }

void BaseTreeModel::rebuild(const views::CVireoDoc& doc) {
  beginResetModel();
  top_ = std::make_unique<Node>();
  Node* root = top_->add(kRootItem, QString::fromUtf8(kRootText), image::kRoot);
  Node* group = nullptr;
  const std::string* groupFolder = nullptr;
  int groupImage = 0;
  for (int i = 0; i < doc.readerCount && i < kReaderTableSize; ++i) {
    const MessageBaseReader& reader = doc.readers[static_cast<size_t>(i)];
    if (reader.removed) continue;
    // The bases found in a disk image are grouped by the image, each opening of it apart.
    const std::string& folder = reader.fromImage ? reader.fromImage->imagePath : reader.baseFolder;
    const int imageNumber = reader.fromImage ? reader.fromImage->imageNumber : 0;
    // The group comes before the filters: a folder whose bases are all hidden shows empty.
    if (!group || folder != *groupFolder || imageNumber != groupImage) {
      group = root->add(kGroupItem, fromFileSystem(reader.fromImage ? imageFileName(folder) : folder),
                        image::kFolderGroup);
      group->path = folder;
      groupFolder = &folder;
      groupImage = imageNumber;
    }
    if (!shownByFilters(doc, reader)) continue;
    // The worker writes browseFailed of the base it reads; until it reports, that base is not read.
    const bool beingRead = doc.operationRunning && (doc.operation == kOperationBrowse || doc.operation == kOperationRecover) &&
                           doc.operationReader == i;
    Node* base = group->add(i, reader.fromImage ? fromFileSystem(imageBaseLabel(*reader.fromImage)) : baseLabel(reader.baseName),
                            baseImage(reader.baseKind, reader.state, !beingRead && reader.browseFailed));
    base->path = reader.baseFolder + "/" + reader.baseName;
    // Its file in the working folder means nothing to the user; where it lay in the image does.
    if (reader.fromImage) base->tip = fromFileSystem(imageBaseDetail(*reader.fromImage));
  }
  endResetModel();
}

QModelIndex BaseTreeModel::rootNode() const { return top_->children.empty() ? QModelIndex() : index(0, 0); }

int BaseTreeModel::itemDataOf(const QModelIndex& node) const {
  const Node* n = nodeOf(node);
  return n ? n->itemData : kNoReader;
}

int BaseTreeModel::image(const QModelIndex& node) const {
  const Node* n = nodeOf(node);
  return n ? n->image : -1;
}

QModelIndex BaseTreeModel::findBase(int readerIndex) const {
  if (readerIndex < 0 || readerIndex >= kNoReader || top_->children.empty()) return {};
  for (const auto& group : top_->children.front()->children)
    for (const auto& base : group->children)
      if (base->itemData == readerIndex) return indexOf(base.get());
  return {};
}

void BaseTreeModel::setImage(const QModelIndex& node, int image) {
  Node* n = nodeOf(node);
  if (!n || n->image == image) return;
  n->image = image;
  emit dataChanged(node, node, {Qt::DecorationRole, kImageRole, Qt::AccessibleDescriptionRole});
}

void BaseTreeModel::removeNode(const QModelIndex& node) {
  Node* n = nodeOf(node);
  if (!n) return;
  Node* parent = n->parent;
  const int row = n->row;
  beginRemoveRows(node.parent(), row, row);
  parent->children.erase(parent->children.begin() + row);
  for (size_t i = static_cast<size_t>(row); i < parent->children.size(); ++i) parent->children[i]->row = static_cast<int>(i);
  endRemoveRows();
}

QModelIndex BaseTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const Node* p = parent.isValid() ? nodeOf(parent) : top_.get();
  if (!p || row >= static_cast<int>(p->children.size())) return {};
  return createIndex(row, 0, p->children[static_cast<size_t>(row)].get());
}

QModelIndex BaseTreeModel::parent(const QModelIndex& child) const {
  const Node* n = nodeOf(child);
  return n ? indexOf(n->parent) : QModelIndex();
}

int BaseTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const Node* p = parent.isValid() ? nodeOf(parent) : top_.get();
  return p ? static_cast<int>(p->children.size()) : 0;
}

int BaseTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant BaseTreeModel::data(const QModelIndex& index, int role) const {
  const Node* n = nodeOf(index);
  if (!n) return {};
  switch (role) {
    case Qt::DisplayRole: return n->text;
    case Qt::DecorationRole:
      if (n->image >= 0 && n->image < static_cast<int>(images_.size())) return images_[static_cast<size_t>(n->image)];
      return {};
    case Qt::AccessibleDescriptionRole: return imageDescription(n->image);
    case kItemDataRole: return n->itemData;
    case kImageRole: return n->image;
    // A narrow pane cuts a long folder off; the whole path is a hover away.
    case Qt::ToolTipRole:
      if (!n->tip.isEmpty()) return n->tip;
      return n->path.empty() ? QVariant() : QVariant(fromFileSystem(n->path));
    case kPathRole: return QByteArray::fromStdString(n->path);
    default: return {};
  }
}

Qt::ItemFlags BaseTreeModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

BaseTreeModel::Node* BaseTreeModel::nodeOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return nullptr;
  return static_cast<Node*>(index.internalPointer());
}

QModelIndex BaseTreeModel::indexOf(const Node* node) const {
  if (!node || node == top_.get() || !node->parent) return {};
  return createIndex(node->row, 0, const_cast<Node*>(node));
}

}  // namespace vireo::shell
