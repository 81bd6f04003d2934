#include "reader/image_open.h"

#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "dbx/image_carve.h"
#include "reader/base_listing.h"
#include "reader/image_carve_run.h"
#include "reader/outcome_text.h"
#include "reader/worker.h"

namespace vireo {
namespace {

using End = dbx::OperationOutcome::End;

// "byte 512", "12.5 MiB": a place in the image, to a tenth of its unit.
std::string placeText(uint64_t bytes) {
  if (bytes < 1024) return "byte " + groupedNumber(static_cast<long long>(bytes));
  const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

uint64_t placeInImage(const ImageOrigin& origin) {
  return origin.origin >= 0 ? static_cast<uint64_t>(origin.origin) : origin.firstPiece;
}

void removeWritten(const std::string& folder, const std::vector<ImageBaseFile>& bases) {
  for (const ImageBaseFile& base : bases) ::unlink((folder + "/" + base.fileName).c_str());
}

}  // namespace

std::string imageBaseFileName(int imageNumber, int baseNumber) {
  return "carved-" + std::to_string(imageNumber) + "-" + std::to_string(baseNumber) + ".dbc";
}

ImageOpening openDiskImage(const std::string& imagePath, const std::string& workingFolder, int imageNumber,
                           const dbx::OperationControl& control) {
  ImageOpening opening;
  std::vector<dbx::FoundBase> found;
  opening.outcome = dbx::findBases(imagePath, found, control);
  if (!opening.outcome.ok()) return opening;
  for (size_t k = 0; k < found.size(); ++k) {
    if (control.stopRequested()) {
      opening.outcome.end = End::stopped;
      break;
    }
    ImageBaseFile base{std::move(found[k]), imageBaseFileName(imageNumber, static_cast<int>(k) + 1)};
    if (std::optional<FailureReason> failure = writeFoundBase(imagePath, base.found, workingFolder + "/" + base.fileName)) {
      opening.outcome.end = End::cannotOpen;
      opening.outcome.reason = std::move(*failure);
      break;
    }
    opening.bases.push_back(std::move(base));
  }
  // Half an image's bases would look like all of them.
  if (!opening.outcome.ok() || control.stopRequested()) {
    if (opening.outcome.ok()) opening.outcome.end = End::stopped;
    removeWritten(workingFolder, opening.bases);
    opening.bases.clear();
  }
  return opening;
}

int listImageBases(WorkerShared& table, const std::string& imagePath, int imageNumber,
                   const std::string& workingFolder, const std::vector<ImageBaseFile>& bases) {
  int listed = 0;
  for (size_t k = 0; k < bases.size(); ++k) {
    const ImageBaseFile& base = bases[k];
    ImageOrigin origin{imagePath, imageNumber, static_cast<int>(k) + 1, base.found.origin, 0,
                       static_cast<int>(base.found.pieces.size()), base.found.headerSurvived};
    if (!base.found.pieces.empty())
      origin.firstPiece = std::min_element(base.found.pieces.begin(), base.found.pieces.end(),
                                           [](const dbx::ImageSegment& a, const dbx::ImageSegment& b) {
                                             return a.imageStart < b.imageStart;
                                           })->imageStart;
    if (listBase(table, BaseToList{workingFolder, base.fileName, std::nullopt, std::move(origin)}) < 0) break;
    ++listed;
  }
  return listed;
}

std::string imageBaseLabel(const ImageOrigin& origin) {
  return "Base " + std::to_string(origin.baseNumber) + " at " + placeText(placeInImage(origin)) + ", " +
         countOf(origin.pieces, "piece", "pieces");
}

std::string imageBaseDetail(const ImageOrigin& origin) {
  std::string text = imageFileName(origin.imagePath) + ", ";
  text += origin.origin >= 0 ? "offset 0 at byte " + groupedNumber(origin.origin)
                             : "first piece at byte " + groupedNumber(static_cast<long long>(origin.firstPiece));
  text += "; " + countOf(origin.pieces, "piece", "pieces");
  text += origin.headerSurvived ? "; header survived" : "; header lost: use recovery";
  return text;
}

std::string imageOutcomeText(const std::string& imageName, int bases) {
  if (bases == 0) return imageName + ": no message base found";
  return imageName + ": " + countOf(bases, "message base", "message bases") + " found";
}

std::string imageBaseName(const ImageOrigin& origin) {
  return imageFileName(origin.imagePath) + ", base " + std::to_string(origin.baseNumber);
}

std::string imageBaseFileTitle(const ImageOrigin& origin) {
  std::string stem = imageFileName(origin.imagePath);
  // "disk.img" gives "disk"; a name that is all extension (".img") is kept whole.
  if (const size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
  return stem + "-base-" + std::to_string(origin.baseNumber) + ".dbx";
}

std::string baseFileNameForUser(const MessageBaseReader& reader) {
  return reader.fromImage ? imageBaseFileTitle(*reader.fromImage) : reader.baseName;
}

std::string imageFileName(const std::string& imagePath) {
  std::string path = imagePath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace vireo
