#include "views/destination_prompt.h"

#include "platform/folder_path.h"
#include "views/modal.h"
#include "views/save_messages_dialog.h"

namespace vireo::views {

bool askDestination(SaveMessagesDialog& dialog, std::string& exportFolder, const char* cannotCreate,
                    QWidget* messageParent) {
  for (;;) {
    dialog.destinationFolder = QString::fromStdString(exportFolder);
    if (dialog.DoModal() != QDialog::Accepted) return false;
    exportFolder = dialog.destinationFolder.toStdString();
    if (createFolderPath(exportFolder) == 0) return true;
    showModalMessage(messageParent, QString::fromUtf8(cannotCreate));
  }
}

}  // namespace vireo::views
