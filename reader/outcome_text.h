#pragma once
// How an operation ended, in one line: the window's status bar keeps it as its idle text until
// the next action, and vireo-cli prints the same counts. A user told nothing after a long save
// or recovery cannot know whether it worked.
#include <optional>
#include <string>
#include <vector>

#include "platform/user_file_writer.h"
#include "reader/message_batch.h"

namespace vireo {

// 49141 -> "49,141".
std::string groupedNumber(long long number);

// "1 message", "49,141 messages".
std::string countOf(long long number, const char* singular, const char* plural);

// "Inbox.dbx: 13 messages browsed", "big.dbx: 49,141 messages recovered in 1.9 s" (seconds,
// when given, to a tenth).
std::string readOutcomeText(const std::string& baseName, int messages, bool recovery,
                            std::optional<double> seconds = std::nullopt);
// "Inbox.dbx: browsing stopped", "big.dbx: recovery failed".
std::string readEndedText(const std::string& baseName, bool recovery, bool stopped);

// "/home/ann/Mail: 3 message bases added", "/data, /home: no new message base found", "/home:
// search stopped; 2 message bases added": a search adds only bases the tree does not list yet.
std::string searchOutcomeText(const std::vector<std::string>& folders, int added, bool succeeded, bool stopped);

// "13 messages saved to FOLDER", "11 of 13 messages saved to FOLDER (2 failed, 1 kept beside
// files of the same name)"; a stopped batch starts "Save stopped: " and says how many were
// written.
std::string saveOutcomeText(const BatchOutcome& outcome, int total, const std::string& folder);

// "3 attachments saved to FOLDER", "2 of 3 attachments saved to FOLDER (1 failed)".
std::string attachmentsOutcomeText(int written, int total, const std::string& folder);

// The copy of a base, as vireo-cli copy prints it: "copied to PATH", "copied as PATH, beside a
// file of the same name", "PATH already holds the same bytes".
std::string placedCopyText(const PlacedFile& placed);

inline constexpr const char* kCopyStoppedText = "Copy stopped: nothing written";
inline constexpr const char* kCopyFailedText = "Copy failed: nothing written";

}  // namespace vireo
