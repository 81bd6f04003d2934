#pragma once
// The copy of a base file into a folder the user chose, as the worker runs it: in chunks, with
// progress and a stop between chunks, written under a unique temporary name beside the
// destination and renamed into place only when whole. It never leaves a cut-short file under
// the final name.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "dbx/operation.h"
#include "platform/failure_reason.h"
#include "platform/user_file_writer.h"

namespace vireo {

inline constexpr size_t kBaseCopyChunk = size_t{1} << 20;
inline constexpr const char* kCannotCopyBaseText = "Cannot copy dbx file";
inline constexpr const char* kBaseCopiedText = "The message base was copied to";

// The bytes an unprivileged user may still write in folder; nullopt when it cannot be told.
using FreeSpaceQuery = std::function<std::optional<uint64_t>(const std::string& folder)>;
std::optional<uint64_t> freeSpaceOf(const std::string& folder);  // statvfs

// "1.5 GB", "320 MB", "12 KB", "17 bytes" (decimal units, as file managers show them).
std::string byteCountText(uint64_t bytes);

struct BaseCopyOutcome {
  enum class End { copied, stopped, failed };
  End end = End::failed;
  FailureReason reason;  // when failed
  PlacedFile placed;     // when copied: the final name, and whether a file was kept beside it
};

// Why source cannot be copied to destination (a file in folder), where another folder may do:
// the destination is the base itself, or folder has less free space than the base's size.
// Nothing when the copy can start (a source that cannot be read is the copy's own failure).
std::optional<FailureReason> baseCopyRefusal(const std::string& source, const std::string& folder,
                                             const std::string& destination, const FreeSpaceQuery& freeSpace);

// Copies source to destination through UserFileWriter: an O_EXCL temporary never followed
// through a link, the mode the user's umask gives, and a file already at destination is never
// replaced (the same bytes are left as they are, others kept beside as "<name> (2).dbx").
// Polls control's stop event between chunks and drives its bar on a range of 1,000. A stop or a
// failure removes the temporary.
BaseCopyOutcome copyBaseFile(const std::string& source, const std::string& destination,
                             const dbx::OperationControl& control);

}  // namespace vireo
