// vireo-make-disk-image OUT CASE [MESSAGES]: writes a disk image holding bases in one of the cases
// carving meets (whole, three-pieces, header-overwritten, cut-short, interleaved, old-copy), with
// random, zero and text clusters around them. For trying `vireo-cli carve` by hand.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tools/dbx_writer/disk_image.h"

int main(int argc, char** argv) {
  using vireo::testing::CarveCase;
  if (argc < 3) {
    std::fputs("usage: vireo-make-disk-image OUT whole|three-pieces|header-overwritten|cut-short|interleaved|old-copy [MESSAGES]\n",
               stderr);
    return 2;
  }
  const std::string name = argv[2];
  CarveCase which;
  if (name == "whole") which = CarveCase::whole;
  else if (name == "three-pieces") which = CarveCase::threePieces;
  else if (name == "header-overwritten") which = CarveCase::headerOverwritten;
  else if (name == "cut-short") which = CarveCase::cutShort;
  else if (name == "interleaved") which = CarveCase::interleaved;
  else if (name == "old-copy") which = CarveCase::oldCopy;
  else {
    std::fprintf(stderr, "vireo-make-disk-image: unknown case %s\n", name.c_str());
    return 2;
  }
  try {
    const auto scenario = vireo::testing::buildCarveScenario(which, argc > 3 ? std::atoi(argv[3]) : 60);
    scenario.image.save(argv[1]);
    std::printf("%zu bases, %zu messages whose blocks survive\n", scenario.bases.size(), scenario.survivingMessages());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vireo-make-disk-image: %s\n", error.what());
    return 1;
  }
  return 0;
}
