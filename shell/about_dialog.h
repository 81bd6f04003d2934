#pragma once
// The About box: the product picture, the version line, and three links (the product's site,
// support and sales by mail).
#include <QDialog>

class QLabel;

namespace vireo::shell {

class CStaticLink;

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 5;
inline constexpr int kBuildNumber = 9626;

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  QLabel* versionLine() const { return versionLine_; }
  CStaticLink* productSite() const { return productSite_; }
  CStaticLink* techSupport() const { return techSupport_; }
  CStaticLink* salesDepartment() const { return salesDepartment_; }

 private:
  QLabel* versionLine_ = nullptr;
  CStaticLink* productSite_ = nullptr;
  CStaticLink* techSupport_ = nullptr;
  CStaticLink* salesDepartment_ = nullptr;
};

}  // namespace vireo::shell
