#pragma once
#include <string>

namespace vireo {

// The process-wide folder where working copies ("%s/%d.dbc") are made; set when the document is
// created (a copy of its temp folder).
std::string workingFolder();
void setWorkingFolder(const std::string& folder);

}  // namespace vireo
