#include "views/save_messages_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "views/modal.h"
#include "views/path_text.h"

namespace vireo::views {

SaveMessagesDialog::SaveMessagesDialog(QWidget* parent) : QDialog(parent) {
  descriptionLabel_ = new QLabel(this);
  descriptionLabel_->setFrameStyle(QFrame::Box | QFrame::Sunken);
  descriptionLabel_->setAlignment(Qt::AlignCenter);
  descriptionLabel_->setMargin(6);
  descriptionLabel_->setAccessibleName(QStringLiteral("Description"));

  auto* folderLabel = new QLabel(QStringLiteral(" To folder:"), this);
  folderEdit_ = new QLineEdit(this);
  folderEdit_->setMaxLength(kDestinationFolderLimit);
  folderEdit_->setMinimumWidth(320);
  folderEdit_->setAccessibleName(QStringLiteral("To folder"));
  folderLabel->setBuddy(folderEdit_);
  browseButton_ = new QPushButton(QStringLiteral("Browse..."), this);
  browseButton_->setAccessibleName(QStringLiteral("Browse"));
  browseButton_->setAutoDefault(false);
  connect(browseButton_, &QPushButton::clicked, this, &SaveMessagesDialog::chooseFolder);

  auto* buttons = new QDialogButtonBox(this);
  saveButton_ = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
  saveButton_->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* folderRow = new QGridLayout;
  folderRow->addWidget(folderLabel, 0, 0);
  folderRow->addWidget(folderEdit_, 0, 1);
  folderRow->addWidget(browseButton_, 0, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(descriptionLabel_);
  layout->addLayout(folderRow);
  layout->addWidget(buttons);
}

int SaveMessagesDialog::DoModal() {
  setWindowTitle(title);
  descriptionLabel_->setText(description);
  folderEdit_->setText(destinationFolder);
  const int result = execModal(*this);
  if (result == QDialog::Accepted) destinationFolder = folderEdit_->text();
  return result;
}

void SaveMessagesDialog::chooseFolder() {
  QFileDialog chooser(this, QString::fromUtf8(kChooseFolderTitle));
  chooser.setFileMode(QFileDialog::Directory);
  chooser.setOption(QFileDialog::ShowDirsOnly);
  QString chosen;
  // The chooser's names come through Qt's lossy decoding; the field holds the folder's own bytes.
  if (execModal(chooser) == QDialog::Accepted) chosen = pathText(chosenPathBytes(chooser.selectedFiles().value(0)));
  if (!chosen.isEmpty()) folderEdit_->setText(chosen);
  destinationFolder = folderEdit_->text();
}

}  // namespace vireo::views
