// A file mapped onto pieces of another: reads anywhere in it give the source's bytes where a piece
// lies and zeros elsewhere, exactly as the sparse copy of a carved base does.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "dbx/image_carve.h"
#include "platform/piece_mapped_file.h"
#include "platform/read_only_file.h"
#include "reader/image_carve_run.h"
#include "tests/core/base_fixture.h"
#include "tools/dbx_writer/disk_image.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace vireo::testing {
namespace {

TEST(PieceMappedFile, ReadsPiecesFromTheSourceAndHolesAsZeros) {
  ScratchDir folder;
  std::string source(10000, '\0');
  std::mt19937 random(5);
  for (char& c : source) c = static_cast<char>(random() % 255 + 1);  // never zero, so holes show
  { std::ofstream(folder.file("source"), std::ios::binary) << source; }
  // Out of order in the source, a hole between, one piece running past the source's end.
  PieceMap map{folder.file("source"), 7000, {{100, 5000, 900}, {1500, 0, 2000}, {6500, 9800, 400}}};
  std::string expected(map.size, '\0');
  std::memcpy(&expected[100], &source[5000], 900);
  std::memcpy(&expected[1500], &source[0], 2000);
  std::memcpy(&expected[6500], &source[9800], 200);

  const PieceMappedFile mapped(folder.file("base.dbc"), map);
  ReadOnlyFile file;
  ASSERT_TRUE(file.open(mapped.path()));
  EXPECT_EQ(file.size(), 7000u);
  EXPECT_EQ(file.descriptor(), -1);  // its offsets are not the source's: no kernel copy of them
  std::string whole(7000, 'x');
  ASSERT_EQ(file.readAt(0, whole.data(), whole.size()), 7000u);
  EXPECT_EQ(whole, expected);
  for (int i = 0; i < 500; ++i) {
    const uint64_t offset = random() % 7100;
    const size_t length = random() % 3000;
    std::string part(length, 'x');
    const size_t got = file.readAt(offset, part.data(), length);
    const size_t inside = offset >= 7000 ? 0 : std::min<size_t>(length, 7000 - offset);
    ASSERT_EQ(got, inside) << offset << "+" << length;
    if (got > 0) {
      EXPECT_EQ(part.substr(0, got), expected.substr(offset, got)) << offset << "+" << length;
    }
  }
}

TEST(PieceMappedFile, ExistsOnlyWhileRegistered) {
  ScratchDir folder;
  { std::ofstream(folder.file("source"), std::ios::binary) << "bytes"; }
  const std::string path = folder.file("base.dbc");
  ReadOnlyFile file;
  {
    const PieceMappedFile mapped(path, PieceMap{folder.file("source"), 5, {{0, 0, 5}}});
    const PieceMappedFile again(path, PieceMap{folder.file("source"), 1, {}});
    EXPECT_TRUE(mapped.registered());
    EXPECT_FALSE(again.registered());  // the first keeps the name
    EXPECT_FALSE(PieceMappedFile(folder.file("source"), PieceMap{}).registered());  // so does a file
    ASSERT_TRUE(file.open(path));
    EXPECT_EQ(file.size(), 5u);
  }
  // An open file keeps its map; a new open finds nothing at the path.
  char bytes[5] = {};
  EXPECT_EQ(file.readAt(0, bytes, 5), 5u);
  EXPECT_EQ(std::string(bytes, 5), "bytes");
  ReadOnlyFile later;
  EXPECT_FALSE(later.open(path));
  // A map onto its own name reads the disk there, where nothing is: it does not go round.
  const PieceMappedFile loop(path, PieceMap{path, 5, {{0, 0, 5}}});
  EXPECT_FALSE(later.open(path));
}

TEST(PieceMappedFile, ACarvedBaseReadsAsTheFileWrittenForIt) {
  const CarveScenario scenario = buildCarveScenario(CarveCase::threePieces, 20);
  ScratchDir folder;
  const std::string image = folder.file("disk.img");
  scenario.image.save(image);
  std::vector<dbx::FoundBase> bases;
  ASSERT_TRUE(dbx::findBases(image, bases, {}).ok());
  ASSERT_EQ(bases.size(), 1u);
  ASSERT_FALSE(writeFoundBase(image, bases[0], folder.file("written.dbc")));
  const PieceMappedFile mapped(folder.file("mapped.dbc"), pieceMapOf(image, bases[0]));
  const std::string written = fileText(folder.file("written.dbc"));
  EXPECT_FALSE(written.empty());
  EXPECT_EQ(fileText(mapped.path()), written);
}

}  // namespace
}  // namespace vireo::testing
