#include "shell/search_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "reader/drive_list.h"
#include "views/modal.h"

namespace vireo::shell {
namespace {

QPushButton* makeButton(const char* text, int controlId, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setObjectName(QStringLiteral("button%1").arg(controlId));
  // No button is the default: Enter does not start a search the user did not choose.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

SearchDialog::SearchDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Search for *.dbx files"));

  auto* drives = new QGroupBox(QStringLiteral("Look in harddrives:"), this);
  edit_ = new QLineEdit(drives);
  edit_->setObjectName(QStringLiteral("edit%1").arg(kDriveListEdit));
  edit_->setMaxLength(static_cast<int>(kDriveListLimit));
  edit_->setAccessibleName(QStringLiteral("Look in harddrives:"));
  edit_->setAccessibleDescription(QStringLiteral("Folders to search, each followed by ;"));
  edit_->setMinimumWidth(320);
  searchNow_ = makeButton("Search Now", kSearchNowButton, drives);
  auto* drivesLayout = new QHBoxLayout(drives);
  drivesLayout->addWidget(edit_, 1);
  drivesLayout->addWidget(searchNow_);

  browse_ = makeButton("Browse...", kBrowseButton, this);
  browse_->setAccessibleDescription(QStringLiteral("Choose one folder to search"));
  cancel_ = makeButton("Cancel", kCancelButton, this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(browse_);
  buttons->addStretch();
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(drives);
  layout->addLayout(buttons);

  connect(searchNow_, &QPushButton::clicked, this, [this] { closeWith(kChoiceSearchNow); });
  connect(browse_, &QPushButton::clicked, this, [this] { closeWith(kChoiceBrowse); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void SearchDialog::closeWith(int code) {
  choice = code;
  accept();
}

int SearchDialog::DoModal() {
  edit_->setText(driveList);
  const int result = views::execModal(*this);
  if (result == QDialog::Accepted) driveList = edit_->text();
  return result;
}

QPushButton* SearchDialog::button(int controlId) const {
  switch (controlId) {
    case kSearchNowButton: return searchNow_;
    case kBrowseButton: return browse_;
    case kCancelButton: return cancel_;
    default: return nullptr;
  }
}

}  // namespace vireo::shell
