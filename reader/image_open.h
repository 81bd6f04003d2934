#pragma once
// Opening a disk image in the window: on the worker, the bases found in the image are written one
// file each into the working folder; on the interface thread they join the table as bases that
// remember the image, and the ordinary recovery reads them like any other. The image is only read.
#include <string>
#include <vector>

#include "dbx/operation.h"
#include "dbx/piece_vote.h"
#include "reader/image_origin.h"

namespace vireo {

struct WorkerShared;
class MessageBaseReader;

struct ImageBaseFile {
  dbx::FoundBase found;
  std::string fileName;  // in the working folder
};

struct ImageOpening {
  dbx::OperationOutcome outcome;
  std::vector<ImageBaseFile> bases;  // empty unless the outcome is completed
};

// "carved-<imageNumber>-<baseNumber>.dbc": the exit cleanup knows .dbc files, and the image's
// number keeps the bases of two images opened in one run apart.
std::string imageBaseFileName(int imageNumber, int baseNumber);

// Finds the bases of imagePath and writes base k as imageBaseFileName(imageNumber, k) into
// workingFolder. A stop or a failure removes what it wrote: either every base is there or none.
ImageOpening openDiskImage(const std::string& imagePath, const std::string& workingFolder, int imageNumber,
                           const dbx::OperationControl& control);

// Lists the written bases in the table as bases of workingFolder that remember the image. Once the
// table is full a base takes a slot a removed one freed; when there is none it shows "Number of dbx
// files >500" and lists no more. Returns how many were listed.
int listImageBases(WorkerShared& table, const std::string& imagePath, int imageNumber,
                   const std::string& workingFolder, const std::vector<ImageBaseFile>& bases);

// "Base 1 at 12.5 MiB, 3 pieces": what tells a user the bases of one image apart.
std::string imageBaseLabel(const ImageOrigin& origin);
// "disk.img, offset 0 at byte 13,107,200; 3 pieces; header survived" (the node's tooltip).
std::string imageBaseDetail(const ImageOrigin& origin);
// "disk.img: 2 message bases found", "disk.img: no message base found".
std::string imageOutcomeText(const std::string& imageName, int bases);
// What the status bar calls a base found in an image: "disk.img, base 1".
std::string imageBaseName(const ImageOrigin& origin);
// "disk-base-1.dbx": the name a user is offered for a base found in an image (a copy's file name,
// a mailbox's name without ".dbx"), since the working file's carved-<n>-<k>.dbc means nothing
// outside this run.
std::string imageBaseFileTitle(const ImageOrigin& origin);
// That name for a base found in an image, else the base's own file name.
std::string baseFileNameForUser(const MessageBaseReader& reader);
// The image's file name: the last step of its path.
std::string imageFileName(const std::string& imagePath);

}  // namespace vireo
