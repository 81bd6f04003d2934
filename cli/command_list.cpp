#include <cinttypes>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/base_argument.h"
#include "cli/commands.h"
#include "cli/iso_date.h"
#include "cli/json_text.h"
#include "cli/run_folder.h"
#include "reader/message_base_reader.h"

namespace vireo::cli {
namespace {

void printLines(const MessageBaseReader& reader) {
  // The lines gather in one buffer, written out a piece at a time: no string per field.
  constexpr size_t kPiece = 64 * 1024;
  std::string out;
  out.reserve(kPiece + 4096);
  for (const MessageRecord& r : reader.records) {
    if (r.invalid) continue;
    char numbers[64];
    const int length = std::snprintf(numbers, sizeof numbers, "%d\t%s\t%s\t%d\t", r.number, r.deleted ? "D" : "-",
                                     r.attachment ? "A" : "-", r.size);
    out.append(numbers, static_cast<size_t>(length));
    appendOneLine(out, r.dateText());
    out += '\t';
    appendOneLine(out, r.from());
    out += '\t';
    appendOneLine(out, r.to());
    out += '\t';
    appendOneLine(out, r.subject());
    out += '\n';
    if (out.size() >= kPiece) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
}

// One RFC 4180 field: quoted, with its quotes doubled, when it holds a comma, a quote or a line
// break; as it is otherwise.
void appendCsvField(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += field;
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void printCsv(const MessageBaseReader& reader) {
  std::string out = "number,deleted,attachment,size,date,dateIso,from,to,subject\r\n";
  for (const MessageRecord& r : reader.records) {
    if (r.invalid) continue;
    out += std::to_string(r.number) + (r.deleted ? ",true" : ",false") + (r.attachment ? ",true," : ",false,") +
           std::to_string(r.size) + ",";
    appendCsvField(out, r.dateText());
    out += ",";
    appendCsvField(out, isoDateUtc(r.time));
    for (const std::string_view field : {r.from(), r.to(), r.subject()}) {
      out += ",";
      appendCsvField(out, field);
    }
    out += "\r\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
}

void printJson(const MessageBaseReader& reader) {
  std::string out = "[";
  bool first = true;
  for (size_t i = 0; i < reader.records.size(); ++i) {
    const MessageRecord& r = reader.records[i];
    if (r.invalid) continue;
    out += first ? "\n" : ",\n";
    first = false;
    char numbers[256];
    std::snprintf(numbers, sizeof numbers,
                  "{\"index\":%zu,\"number\":%d,\"deleted\":%s,\"attachment\":%s,\"size\":%d,"
                  "\"codePage\":%d,\"time\":%" PRIu64 ",\"fragment\":%s,\"unindexed\":%s,",
                  i, r.number, r.deleted ? "true" : "false", r.attachment ? "true" : "false", r.size,
                  r.codePage, r.time, r.fragment ? "true" : "false", r.unindexed ? "true" : "false");
    out += numbers;
    out += "\"date\":";
    appendJsonString(out, r.dateText());
    out += ",\"dateIso\":";
    if (const std::string iso = isoDateUtc(r.time); iso.empty()) out += "null";
    else appendJsonString(out, iso);
    out += ",\"from\":";
    appendJsonString(out, r.from());
    out += ",\"to\":";
    appendJsonString(out, r.to());
    out += ",\"subject\":";
    appendJsonString(out, r.subject());
    out += "}";
  }
  out += first ? "]\n" : "\n]\n";
  std::fputs(out.c_str(), stdout);
}

}  // namespace

int runList(const Arguments& args) {
  bool recover = false, json = false, csv = false, copy = false;
  std::string path;
  for (const std::string& arg : args) {
    if (arg == "--recover") recover = true;
    else if (arg == "--json") json = true;
    else if (arg == "--csv") csv = true;
    else if (arg == "--copy") copy = true;
    else if (arg.starts_with("--") || !path.empty()) return usage();
    else path = arg;
  }
  if (path.empty() || (json && csv)) return usage();

  MessageBaseReader reader;
  if (!setBase(reader, path)) return 1;
  std::optional<RunFolder> folder;
  if (copy) {
    if (!folder.emplace().ready()) return 1;
    reader.workingFolder = folder->path();
  }
  reader.recoverMode = recover ? 1 : 0;
  reader.openBase(copy);
  if (reader.ok != 1) return 1;
  if (json) printJson(reader);
  else if (csv) printCsv(reader);
  else printLines(reader);
  if (recover && reader.indexUnreadable)
    std::fputs("vireo-cli: the index could not be read: no message is marked as not in it\n", stderr);
  return 0;
}

}  // namespace vireo::cli
