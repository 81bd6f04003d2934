#pragma once
// "Search for *.dbx files": the drives to search (edit 1012, at most 500 characters) with
// "Search Now" in the group "Look in harddrives:", then "Browse..." and "Cancel". Either search
// button stores its code in choice and closes the dialog as OK does.
#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace vireo::shell {

inline constexpr int kDriveListEdit = 1012;
inline constexpr int kSearchNowButton = 1010;
inline constexpr int kBrowseButton = 1011;
inline constexpr int kCancelButton = 2;

inline constexpr int kChoiceNone = 0;
inline constexpr int kChoiceSearchNow = 2;
inline constexpr int kChoiceBrowse = 3;

class SearchDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SearchDialog(QWidget* parent = nullptr);

  // Runs the dialog (through the modal seam) with driveList in the edit; after OK, driveList is
  // the edit's text. Returns QDialog::Accepted or Rejected.
  int DoModal();
  QLineEdit* driveEdit() const { return edit_; }
  // One of the three buttons by its control id; null for another id.
  QPushButton* button(int controlId) const;

  QString driveList;
  int choice = kChoiceNone;

 private:
  void closeWith(int code);

  QLineEdit* edit_ = nullptr;
  QPushButton* searchNow_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace vireo::shell
