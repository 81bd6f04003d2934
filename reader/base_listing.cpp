#include "reader/base_listing.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/ascii_case.h"
#include "platform/message_sink.h"
#include "reader/document.h"

namespace vireo {
namespace fs = std::filesystem;
namespace {

// The folder's base files. The Windows finder returns them in the file system's order, which
// nothing should depend on; listBaseFiles sorts them by name so that listings are repeatable.
std::vector<std::string> baseFileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  if (error) return names;
  for (const fs::directory_iterator end; entries != end; entries.increment(error)) {
    if (error) break;
    std::error_code typeError;
    // A folder or device named *.dbx is no base (the finder would list folders too).
    if (!entries->is_regular_file(typeError)) continue;
    std::string name = entries->path().filename().string();
    if (isBaseFileName(name)) names.push_back(std::move(name));
  }
  return names;
}

// The duplicate rule for an entry that is already in the table; false when there is none.
bool restoreListedBase(WorkerShared& table, const std::string& folder, const std::string& name) {
  std::lock_guard lock(table.tableMutex);
  for (int i = 0; i < table.readerCount; ++i) {
    MessageBaseReader& earlier = table.readers[static_cast<size_t>(i)];
    if (earlier.baseName != name || earlier.baseFolder != folder) continue;
    if (earlier.removed) {
      earlier.removed = false;
      earlier.browseFailed = false;
    }
    return true;
  }
  return false;
}

// Gives a freed slot of a removed base to a new one; false when there is none. The slot keeps its
// index, so the base shows where the removed one was.
bool reuseFreeSlot(WorkerShared& table, const std::string& folder, const std::string& name) {
  MessageBaseReader probe;  // the kind is read from the file outside the lock
  probe.baseName = name;
  probe.baseFolder = folder;
  probe.detectBaseKind();
  std::lock_guard lock(table.tableMutex);
  while (!table.freeSlots.empty()) {
    const int slot = table.freeSlots.back();
    table.freeSlots.pop_back();
    MessageBaseReader& reader = table.readers[static_cast<size_t>(slot)];
    // Listed again since it was freed: it is a base present once more.
    if (!reader.removed) continue;
    reader.resetReader();
    reader.baseName = name;
    reader.baseFolder = folder;
    reader.workingPath.clear();
    reader.readerNumber = slot;
    reader.baseKind = probe.baseKind;
    reader.browseFailed = false;
    reader.fromImage.reset();
    reader.removed = false;
    return true;
  }
  return false;
}

// Fills the next free entry with one base; false (after the limit message) when the table is full.
// The entry is filled before it is counted: the window reads only counted entries.
bool addBase(WorkerShared& table, const std::string& folder, const std::string& name,
             std::optional<int16_t> kind = std::nullopt) {
  const int next = table.readerCount.load();
  if (next >= kReaderTableSize) {
    // A base the table already holds needs no slot: it only comes back if it was removed. A
    // full table met again (the current user's store is walked twice) is no reason for the
    // limit message.
    if (restoreListedBase(table, folder, name)) return true;
    if (reuseFreeSlot(table, folder, name)) return true;
    showMessageBox(kTooManyBasesText);
    table.listingStopped = true;
    return false;
  }
  MessageBaseReader& reader = table.readers[static_cast<size_t>(next)];
  reader.baseName = name;
  reader.baseFolder = folder;
  reader.readerNumber = next;
  reader.fromImage.reset();
  // A slot freed by a dropped duplicate must not lend its kind to a file that cannot be read.
  reader.baseKind = 0;
  if (kind) reader.baseKind = *kind;
  else reader.detectBaseKind();
  std::lock_guard lock(table.tableMutex);
  ++table.readerCount;
  dropDuplicateBase(table);
  return true;
}

std::string withoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

void reportStartPath(const std::string& given, const std::string& reason) {
  showMessageBox("Cannot open " + given + "\n" + reason);
}

// False when the table filled up (the limit message has been shown).
bool listFolder(WorkerShared& table, const std::string& folder) {
  return listBaseFiles(table, folder, baseFileNames(folder));
}

}  // namespace

bool isBaseFileName(const std::string& name) {
  return name.size() >= 4 && equalsIgnoringAsciiCase(std::string_view(name).substr(name.size() - 4), ".dbx");
}

void listFolderBases(Document& doc, const std::string& folder) { listFolder(doc.shared(), folder); }

void listFolderBases(WorkerShared& table, const std::string& folder) { listFolder(table, folder); }

bool listBaseFiles(WorkerShared& table, const std::string& folder, std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    if (!addBase(table, folder, name)) return false;
  return true;
}

bool addFoundBase(WorkerShared& table, const std::string& folder, const std::string& name, int16_t kind) {
  return addBase(table, folder, name, kind);
}

int dropDuplicateBase(Document& doc) { return dropDuplicateBase(doc.shared()); }

int dropDuplicateBase(WorkerShared& table) {
  const int newest = table.readerCount - 1;
  if (newest < 1) return 1;
  const MessageBaseReader& added = table.readers[static_cast<size_t>(newest)];
  for (int i = 0; i < newest; ++i) {
    MessageBaseReader& earlier = table.readers[static_cast<size_t>(i)];
    if (earlier.baseName != added.baseName || earlier.baseFolder != added.baseFolder) continue;
    if (earlier.removed) {
      earlier.removed = false;
      earlier.browseFailed = false;
    }
    --table.readerCount;
    break;
  }
  return 1;
}

void listStartPaths(Document& doc, const std::vector<std::string>& paths) {
  for (const std::string& given : paths) {
    if (given.empty()) {
      reportStartPath("\"\"", "No such file or folder.");
      continue;
    }
    std::error_code error;
    const fs::path path = fs::absolute(given, error).lexically_normal();
    const fs::file_status status = error ? fs::file_status{} : fs::status(path, error);
    if (error) {
      reportStartPath(given, error.message());
      continue;
    }
    const std::string full = withoutTrailingSeparators(path.string());
    bool listed = true;
    if (fs::is_directory(status)) {
      listed = listFolder(doc.shared(), full);
    } else if (fs::is_regular_file(status) && isBaseFileName(path.filename().string())) {
      const fs::path file(full);
      listed = addBase(doc.shared(), file.parent_path().string(), file.filename().string());
    } else {
      reportStartPath(given, "It is neither a folder nor a .dbx file.");
    }
    // One limit message is enough for the whole command line.
    if (!listed) return;
  }
}

}  // namespace vireo
