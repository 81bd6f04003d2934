#pragma once
// "Vireo options": the two copy options in the group "Speed options" with their explanation
// beside them, and the start-up listing below. The fields go into the boxes when the dialog
// opens and come back from them only after OK.
#include <QDialog>

class QCheckBox;

namespace vireo::shell {

inline constexpr int kCopyBeforeBrowseBox = 1038;
inline constexpr int kCopyBeforeRecoverBox = 1039;
inline constexpr int kOpenStoreAtStartBox = 1040;

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit OptionsDialog(QWidget* parent = nullptr);

  // Runs the dialog (through the modal seam); returns QDialog::Accepted after OK.
  int DoModal();
  // One of the three check boxes by its control id; null for another id.
  QCheckBox* checkBox(int controlId) const;

  int copyBeforeBrowse = 0;
  int copyBeforeRecover = 0;
  int openStoreAtStart = 0;

 private:
  QCheckBox* copyBeforeBrowseBox_ = nullptr;
  QCheckBox* copyBeforeRecoverBox_ = nullptr;
  QCheckBox* openStoreAtStartBox_ = nullptr;
};

}  // namespace vireo::shell
