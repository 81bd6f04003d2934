#include "reader/outcome_text.h"

#include <algorithm>
#include <cstdio>

namespace vireo {

std::string groupedNumber(long long number) {
  const bool negative = number < 0;
  const auto magnitude = static_cast<unsigned long long>(number);
  std::string digits = std::to_string(negative ? 0ULL - magnitude : magnitude);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return negative ? "-" + digits : digits;
}

std::string countOf(long long number, const char* singular, const char* plural) {
  return groupedNumber(number) + " " + (number == 1 ? singular : plural);
}

std::string readOutcomeText(const std::string& baseName, int messages, bool recovery, std::optional<double> seconds) {
  std::string text =
      baseName + ": " + countOf(messages, "message", "messages") + (recovery ? " recovered" : " browsed");
  if (seconds) {
    char tenths[32];
    std::snprintf(tenths, sizeof tenths, " in %.1f s", std::max(0.0, *seconds));
    text += tenths;
  }
  return text;
}

std::string readEndedText(const std::string& baseName, bool recovery, bool stopped) {
  return baseName + ": " + (recovery ? "recovery" : "browsing") + (stopped ? " stopped" : " failed");
}

std::string searchOutcomeText(const std::vector<std::string>& folders, int added, bool succeeded, bool stopped) {
  std::string text;
  for (const std::string& folder : folders) text += (text.empty() ? "" : ", ") + folder;
  text += ": ";
  const std::string count = countOf(added, "message base", "message bases") + " added";
  if (succeeded) return text + (added > 0 ? count : "no new message base found");
  text += stopped ? "search stopped" : "search failed";
  return added > 0 ? text + "; " + count : text;
}

std::string saveOutcomeText(const BatchOutcome& outcome, int total, const std::string& folder) {
  std::string text = outcome.stopped ? "Save stopped: " : "";
  if (outcome.written == total) text += countOf(total, "message", "messages");
  else text += groupedNumber(outcome.written) + " of " + countOf(total, "message", "messages");
  text += " saved to " + folder;
  // The same words vireo-cli export puts after its counts.
  std::string details = outcome.failed > 0 ? groupedNumber(outcome.failed) + " failed" : "";
  if (const std::string sameNames = describeSameNames(outcome); !sameNames.empty())
    details += (details.empty() ? "" : ", ") + sameNames;
  if (!details.empty()) text += " (" + details + ")";
  return text;
}

std::string attachmentsOutcomeText(int written, int total, const std::string& folder) {
  std::string text = written == total ? countOf(total, "attachment", "attachments")
                                      : groupedNumber(written) + " of " + countOf(total, "attachment", "attachments");
  text += " saved to " + folder;
  if (written < total) text += " (" + groupedNumber(total - written) + " failed)";
  return text;
}

std::string placedCopyText(const PlacedFile& placed) {
  switch (placed.placement) {
    case Placement::keptBeside:
      return "copied as " + placed.path + ", beside a file of the same name";
    case Placement::identical:
      return placed.path + " already holds the same bytes";
    case Placement::created:
    case Placement::replaced:
      break;
  }
  return "copied to " + placed.path;
}

}  // namespace vireo
