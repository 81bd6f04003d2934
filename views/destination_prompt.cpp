#include "views/destination_prompt.h"

#include "platform/folder_path.h"
#include "views/modal.h"
#include "views/path_text.h"
#include "views/save_messages_dialog.h"

namespace vireo::views {

bool askDestination(SaveMessagesDialog& dialog, std::string& exportFolder, const char* cannotCreate,
                    QWidget* messageParent) {
  for (;;) {
    dialog.destinationFolder = pathText(exportFolder);
    if (dialog.DoModal() != QDialog::Accepted) return false;
    exportFolder = pathBytes(dialog.destinationFolder);
    if (createFolderPath(exportFolder) == 0) return true;
    // The text stands as given; the folder that could not be made follows on its own line.
    showModalMessage(messageParent, QString::fromUtf8(cannotCreate) + QLatin1Char('\n') + pathText(exportFolder));
  }
}

}  // namespace vireo::views
