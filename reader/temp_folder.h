#pragma once
// The temp folder holds working copies and messages from other people's bases, so it is private:
// made with mode 0700, and refused when it is a symbolic link or belongs to someone else.
#include <string>

namespace vireo {

// $XDG_RUNTIME_DIR/temp_vir, else <cache folder>/temp_vir: the fallback when the settings give
// no usable folder.
std::string fallbackTempFolder();

// Makes folder (and its missing parents) and checks it is a real folder of this user, narrowing
// its mode to 0700. Returns 0 when it can be used, -1 otherwise.
int makePrivateFolder(const std::string& folder);

}  // namespace vireo
