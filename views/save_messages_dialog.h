#pragma once
// The folder dialog of the three commands that write files: save the selected messages, save a
// whole base, copy a base. A framed description of what is about to happen, the destination
// folder (typed, or chosen with "Browse..."), "Save" and "Cancel". The fields go into the
// controls when the dialog opens and come back after "Save".
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vireo::views {

inline constexpr int kDestinationFolderLimit = 500;
inline constexpr char kSaveMessagesTitle[] = "Save messages as *.eml";
inline constexpr char kChooseFolderTitle[] = "Choose a folder";

class SaveMessagesDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SaveMessagesDialog(QWidget* parent = nullptr);

  // Runs the dialog (through the modal seam); returns QDialog::Accepted after "Save".
  int DoModal();

  QLineEdit* folderEdit() const { return folderEdit_; }
  QPushButton* browseButton() const { return browseButton_; }
  QPushButton* saveButton() const { return saveButton_; }
  QLabel* descriptionLabel() const { return descriptionLabel_; }

  QString title = QString::fromUtf8(kSaveMessagesTitle);
  QString description;
  QString destinationFolder;

 private:
  // "Browse...": the folder chooser; a chosen folder replaces the typed one.
  void chooseFolder();

  QLabel* descriptionLabel_ = nullptr;
  QLineEdit* folderEdit_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
};

}  // namespace vireo::views
