#pragma once
// What `vireo-cli --help` and `vireo-cli COMMAND --help` print: every verb, every option, and the
// exit statuses, so the tool can be scripted without reading its source.
#include <string_view>

namespace vireo::cli {

// The one-line usage of every verb, as the usage error prints it.
std::string_view usageText();

// The whole help: usage, each verb in a sentence, the exit statuses.
std::string_view generalHelp();

// The help of one verb; empty for a word that is not a verb.
std::string_view commandHelp(std::string_view verb);

// True for the words that ask for help: --help, -h.
bool asksForHelp(std::string_view word);

}  // namespace vireo::cli
