#include "shell/options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "views/modal.h"

namespace vireo::shell {
namespace {

QCheckBox* makeBox(const char* text, int controlId, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromUtf8(text), parent);
  box->setObjectName(QStringLiteral("check%1").arg(controlId));
  return box;
}

}  // namespace

OptionsDialog::OptionsDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Vireo options"));

  auto* speed = new QGroupBox(QStringLiteral("Speed options"), this);
  copyBeforeBrowseBox_ = makeBox("Copy before browsing", kCopyBeforeBrowseBox, speed);
  copyBeforeRecoverBox_ = makeBox("Copy before recovery", kCopyBeforeRecoverBox, speed);
  auto* explanation = new QLabel(
      QStringLiteral("Check these boxes if\n1. Outlook Express is currently running and uses these message "
                     "bases.\n2. If you want to copy message bases from slow media to faster hard disk for "
                     "intensive work."),
      speed);
  explanation->setWordWrap(true);
  explanation->setMinimumWidth(260);
  auto* boxes = new QVBoxLayout;
  boxes->addWidget(copyBeforeBrowseBox_);
  boxes->addWidget(copyBeforeRecoverBox_);
  boxes->addStretch();
  auto* speedLayout = new QHBoxLayout(speed);
  speedLayout->addLayout(boxes);
  speedLayout->addWidget(explanation, 1);

  openStoreAtStartBox_ = makeBox("Show your default message bases at startup ", kOpenStoreAtStartBox, this);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(speed);
  layout->addWidget(openStoreAtStartBox_);
  layout->addWidget(buttons);
}

int OptionsDialog::DoModal() {
  copyBeforeBrowseBox_->setChecked(copyBeforeBrowse != 0);
  copyBeforeRecoverBox_->setChecked(copyBeforeRecover != 0);
  openStoreAtStartBox_->setChecked(openStoreAtStart != 0);
  const int result = views::execModal(*this);
  if (result == QDialog::Accepted) {
    copyBeforeBrowse = copyBeforeBrowseBox_->isChecked();
    copyBeforeRecover = copyBeforeRecoverBox_->isChecked();
    openStoreAtStart = openStoreAtStartBox_->isChecked();
  }
  return result;
}

QCheckBox* OptionsDialog::checkBox(int controlId) const {
  switch (controlId) {
    case kCopyBeforeBrowseBox: return copyBeforeBrowseBox_;
    case kCopyBeforeRecoverBox: return copyBeforeRecoverBox_;
    case kOpenStoreAtStartBox: return openStoreAtStartBox_;
    default: return nullptr;
  }
}

}  // namespace vireo::shell
