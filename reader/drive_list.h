#pragma once
// The list of drives the search offers: the roots that stand for Windows' fixed drives, here the
// mount points of the local disks, each followed by ";" ("/;/home;/media/ann/WINXP;").
#include <cstddef>
#include <string>
#include <vector>

namespace vireo {

// The longest list the search dialog takes.
inline constexpr size_t kDriveListLimit = 500;

// The mount points in order, each followed by ";", as many whole ones as fit in kDriveListLimit
// characters. A mount point holding ";" is left out: the list could not be split back into it.
std::string driveListOf(const std::vector<std::string>& mountPoints);

// The list for this machine's local disks.
std::string fixedDriveList();

}  // namespace vireo
