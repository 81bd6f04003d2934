#pragma once
// The folder question of the save and copy commands: the dialog with the last folder used,
// again and again until the folder given exists or could be made, or the user cancels.
#include <string>

class QWidget;

namespace vireo::views {

class SaveMessagesDialog;

// Offers exportFolder in the dialog; every folder accepted becomes exportFolder, even one that
// cannot be made, so the dialog comes back with what was typed. cannotCreate is the message
// shown before asking again, with the folder on a second line. True when exportFolder now
// names a folder to write into.
bool askDestination(SaveMessagesDialog& dialog, std::string& exportFolder, const char* cannotCreate,
                    QWidget* messageParent);

}  // namespace vireo::views
