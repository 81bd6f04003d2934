#pragma once
// The one way a file is written for the user (saved messages, exports, copies of a base), so
// that a save that is killed, fails, or meets a file of the same name never costs a file:
// - the bytes go to a new temporary name in the destination's folder, ".<name>.vireo-XXXXXX",
//   created with O_EXCL and never through a link, with the mode the user's umask gives;
// - only a whole file is renamed to its final name; on failure the temporary is removed;
// - a final name that already holds the same bytes is left as it is (nothing is added), and one
//   that holds anything else is kept: the new file becomes "<stem> (2)<ext>", then (3) ...,
//   placed by a rename that never replaces what another writer put there in between.
// A process killed while writing leaves whole files and temporaries, never a cut-short file
// under a final name.
#include <cstddef>
#include <optional>
#include <string>

#include "platform/failure_reason.h"

namespace vireo {

// What happens when the final name is taken.
enum class ExistingName {
  keepBoth,  // the user's files: the same bytes are left as they are, others kept beside
  replace,   // Vireo's own working files: the new file takes the name
};

// Where a written file ended up.
enum class Placement {
  created,     // under the name asked for, which was free
  identical,   // that name, or a numbered one, already held these bytes: nothing was added
  keptBeside,  // the name held something else: the file took a numbered name beside it
  replaced,    // ExistingName::replace took the name over
};

struct PlacedFile {
  std::string path;  // the final name
  Placement placement = Placement::created;
};

// "<stem> (<n>)<extension>" in the same folder: "out/3.eml" -> "out/3 (2).eml".
std::string numberedFileName(const std::string& path, int number);

// True for a name the writer gives its temporaries (".<name>.vireo-XXXXXX"), as a killed save
// leaves them behind.
bool isTemporaryFileName(const std::string& name);

class UserFileWriter {
 public:
  UserFileWriter() = default;
  ~UserFileWriter();  // removes a temporary that was never placed
  UserFileWriter(const UserFileWriter&) = delete;
  UserFileWriter& operator=(const UserFileWriter&) = delete;

  // Creates the temporary beside destination. Failures name destination, not the temporary.
  [[nodiscard]] std::optional<FailureReason> create(const std::string& destination,
                                                    ExistingName existing = ExistingName::keepBoth);
  [[nodiscard]] std::optional<FailureReason> write(const void* data, size_t length);
  // Closes the temporary (flushed to the disk first when sync) and gives it its final name.
  [[nodiscard]] std::optional<FailureReason> place(PlacedFile& placed, bool sync = false);
  // Removes the temporary; nothing is placed.
  void discard();

  const std::string& destination() const { return destination_; }
  // The open temporary, for writers that copy inside the kernel (copy_file_range); -1 when none.
  int descriptor() const { return fd_; }
  const std::string& temporaryPath() const { return temporary_; }

 private:
  std::optional<FailureReason> placeKeepingBoth(PlacedFile& placed);
  std::optional<FailureReason> fail(const char* what, const std::string& file, int error);

  std::string destination_;
  std::string temporary_;
  ExistingName existing_ = ExistingName::keepBoth;
  int fd_ = -1;
};

}  // namespace vireo
