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

// The duplicate rule, under tableMutex: the index of the entry the table holds for this file
// already, which comes back if it was removed; -1 when there is none.
int restoreListedBase(WorkerShared& table, const std::string& folder, const std::string& name) {
  for (int i = 0; i < table.readerCount; ++i) {
    MessageBaseReader& earlier = table.readers[static_cast<size_t>(i)];
    if (earlier.baseName != name || earlier.baseFolder != folder) continue;
    if (earlier.removed) {
      earlier.removed = false;
      earlier.browseFailed = false;
    }
    return i;
  }
  return -1;
}

// A slot for one more base, under tableMutex: the next unused one, else one a removed base freed
// (it keeps its index, so the base shows where the removed one was); -1 when the table is full.
int takeSlot(WorkerShared& table) {
  if (table.readerCount < kReaderTableSize) return table.readerCount;
  while (!table.freeSlots.empty()) {
    const int slot = table.freeSlots.back();
    table.freeSlots.pop_back();
    // Listed again since it was freed: it is a base present once more.
    if (table.readers[static_cast<size_t>(slot)].removed) return slot;
  }
  return -1;
}

bool addBase(WorkerShared& table, const std::string& folder, const std::string& name,
             std::optional<int16_t> kind = std::nullopt) {
  return listBase(table, BaseToList{folder, name, kind, std::nullopt}) >= 0;
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

int listBase(WorkerShared& table, BaseToList base) {
  int16_t kind = 0;  // a file that cannot be read has none, whatever the slot held before
  if (base.kind) {
    kind = *base.kind;
  } else {
    MessageBaseReader probe;  // the kind is read from the file outside the lock
    probe.baseFolder = base.folder;
    probe.baseName = base.name;
    probe.detectBaseKind();
    kind = probe.baseKind;
  }
  std::unique_lock lock(table.tableMutex);
  if (!base.fromImage) {
    if (const int listed = restoreListedBase(table, base.folder, base.name); listed >= 0) return listed;
  }
  const int slot = takeSlot(table);
  if (slot < 0) {
    lock.unlock();  // the box waits for the user; the window must still reach the table
    showMessageBox(kTooManyBasesText);
    table.listingStopped = true;
    return -1;
  }
  MessageBaseReader& reader = table.readers[static_cast<size_t>(slot)];
  reader.resetReader();
  reader.baseName = std::move(base.name);
  reader.baseFolder = std::move(base.folder);
  reader.workingPath.clear();
  reader.readerNumber = slot;
  reader.baseKind = kind;
  reader.browseFailed = false;
  reader.indexUnreadable = false;
  reader.fromImage = std::move(base.fromImage);
  reader.removed = false;
  if (slot == table.readerCount) ++table.readerCount;
  return slot;
}

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
