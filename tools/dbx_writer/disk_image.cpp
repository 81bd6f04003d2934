#include "tools/dbx_writer/disk_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "tools/dbx_writer/message_text.h"

namespace vireo::testing {
namespace {

constexpr std::string_view kFillerText =
    "The quarterly figures were sent on Monday; please check the totals before the meeting.\r\n"
    "Minutes of the committee, item 4: the roof repairs are postponed until spring.\r\n";

uint32_t nextRandom(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

}  // namespace

DiskImage::DiskImage(size_t clusters, uint32_t clusterSize, uint32_t seed)
    : clusterSize_(clusterSize), random_(seed | 1), owners_(clusters) {
  bytes.resize(clusters * clusterSize);
  for (size_t c = 0; c < clusters; ++c) fill(c);
}

size_t DiskImage::clustersOf(const DbxImage& base) const {
  return (base.bytes.size() + clusterSize_ - 1) / clusterSize_;
}

void DiskImage::fill(size_t cluster) {
  uint8_t* at = bytes.data() + cluster * clusterSize_;
  owners_[cluster] = {};
  switch (nextRandom(random_) % 3) {
    case 0:
      for (uint32_t i = 0; i < clusterSize_; i += 4) {
        const uint32_t word = nextRandom(random_);
        std::memcpy(at + i, &word, std::min<uint32_t>(4, clusterSize_ - i));
      }
      break;
    case 1:
      std::memset(at, 0, clusterSize_);
      break;
    default:
      for (uint32_t i = 0; i < clusterSize_; ++i) at[i] = static_cast<uint8_t>(kFillerText[i % kFillerText.size()]);
      break;
  }
}

void DiskImage::place(int baseId, const DbxImage& base, size_t fromCluster, size_t count, size_t imageCluster) {
  if (imageCluster + count > clusterCount()) throw std::out_of_range("the run does not fit in the image");
  for (size_t i = 0; i < count; ++i) {
    const uint64_t from = uint64_t{fromCluster + i} * clusterSize_;
    if (from >= base.bytes.size()) throw std::out_of_range("the run passes the base's end");
    const size_t length = std::min<uint64_t>(clusterSize_, base.bytes.size() - from);
    std::memcpy(bytes.data() + (imageCluster + i) * clusterSize_, base.bytes.data() + from, length);
    owners_[imageCluster + i] = {baseId, fromCluster + i};
  }
  runs_.push_back({baseId, {uint64_t{imageCluster} * clusterSize_, uint64_t{fromCluster} * clusterSize_,
                            std::min<uint64_t>(uint64_t{count} * clusterSize_,
                                               base.bytes.size() - uint64_t{fromCluster} * clusterSize_)}});
}

void DiskImage::overwrite(size_t imageCluster, size_t count) {
  for (size_t c = imageCluster; c < imageCluster + count && c < clusterCount(); ++c) fill(c);
}

std::vector<PlacedRun> DiskImage::runsOf(int baseId) const {
  std::vector<PlacedRun> runs;
  for (const auto& [id, run] : runs_)
    if (id == baseId) runs.push_back(run);
  return runs;
}

bool DiskImage::survives(int baseId, uint64_t offset, uint64_t length) const {
  for (uint64_t cluster = offset / clusterSize_; cluster * clusterSize_ < offset + length; ++cluster) {
    const bool found = std::any_of(owners_.begin(), owners_.end(), [&](const Owned& owned) {
      return owned.baseId == baseId && owned.baseCluster == cluster;
    });
    if (!found) return false;
  }
  return true;
}

bool DiskImage::messageSurvives(int baseId, const WrittenMessage& message, const DbxImage& base) const {
  for (const uint32_t block : message.blockOffsets) {
    const uint32_t used = base.get32(block + 8);
    if (!survives(baseId, block, 16 + std::min<uint32_t>(used, 512))) return false;
  }
  return true;
}

void DiskImage::save(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

size_t CarveScenario::survivingMessages() const {
  size_t surviving = 0;
  for (size_t b = 0; b < bases.size(); ++b)
    for (const WrittenMessage& message : messages[b])
      if (image.messageSurvives(static_cast<int>(b), message, bases[b])) ++surviving;
  return surviving;
}

namespace {

// Messages of a few hundred bytes to tens of kilobytes, so chains cross clusters and pieces.
std::string scenarioText(uint32_t& random, int base, int index) {
  const uint32_t lines = 2 + nextRandom(random) % (index % 17 == 0 ? 600 : 60);
  std::string body;
  for (uint32_t l = 0; l < lines; ++l) {
    body += "Line " + std::to_string(l) + " of message " + std::to_string(index) + " in base " +
            std::to_string(base) + ": " + std::string(nextRandom(random) % 50, static_cast<char>('a' + l % 26)) +
            "\r\n";
  }
  return simpleMessage("Base " + std::to_string(base) + " message " + std::to_string(index), body);
}

void addBase(CarveScenario& scenario, int messages, uint32_t seed, int firstIndex = 0) {
  const int id = static_cast<int>(scenario.bases.size());
  uint32_t random = seed * 2654435761u | 1;
  DbxWriter writer;
  std::vector<std::string> texts;
  for (int m = 0; m < messages; ++m) {
    texts.push_back(scenarioText(random, id, firstIndex + m));
    writer.add(texts.back());
  }
  scenario.bases.push_back(writer.build());
  scenario.messages.push_back(writer.messages());
  scenario.texts.push_back(std::move(texts));
}

}  // namespace

CarveScenario buildCarveScenario(CarveCase which, int messagesPerBase, uint32_t seed) {
  CarveScenario s;
  addBase(s, messagesPerBase, seed);
  if (which == CarveCase::interleaved) addBase(s, messagesPerBase + messagesPerBase / 3, seed + 11);
  if (which == CarveCase::oldCopy) {
    // The older copy: the same first messages, fewer of them, as a base looked before mail came.
    CarveScenario older;
    addBase(older, messagesPerBase * 2 / 3, seed);
    s.bases.push_back(std::move(older.bases[0]));
    s.messages.push_back(std::move(older.messages[0]));
    s.texts.push_back(std::move(older.texts[0]));
  }
  const uint32_t clusterSize = 4096;
  size_t total = 0;
  for (const DbxImage& base : s.bases) total += (base.bytes.size() + clusterSize - 1) / clusterSize;
  s.image = DiskImage(total * 2 + 64, clusterSize, seed);
  DiskImage& image = s.image;
  const size_t c0 = image.clustersOf(s.bases[0]);

  switch (which) {
    case CarveCase::whole:
      image.place(0, s.bases[0], 0, c0, 9);
      break;
    case CarveCase::threePieces: {
      const size_t a = c0 / 3, b = 2 * c0 / 3;
      image.place(0, s.bases[0], b, c0 - b, 5);                   // the last third first
      image.place(0, s.bases[0], 0, a, 5 + (c0 - b) + 7);          // then the first
      image.place(0, s.bases[0], a, b - a, 5 + (c0 - b) + 7 + a + 11);  // then the middle
      break;
    }
    case CarveCase::headerOverwritten: {
      image.place(0, s.bases[0], 0, c0, 7);
      const uint32_t firstBlock = s.messages[0].front().blockOffsets.front();
      image.overwrite(7, firstBlock / clusterSize + 1);
      break;
    }
    case CarveCase::cutShort:
      image.place(0, s.bases[0], 0, (c0 * 6 + 9) / 10, 12);
      break;
    case CarveCase::interleaved: {
      const size_t c1 = image.clustersOf(s.bases[1]);
      size_t at = 3, done0 = 0, done1 = 0;
      for (size_t step = 0; done0 < c0 || done1 < c1; ++step) {
        const size_t n0 = std::min<size_t>(3 + step % 4, c0 - done0);
        if (n0 > 0) image.place(0, s.bases[0], done0, n0, at);
        at += n0;
        done0 += n0;
        const size_t n1 = std::min<size_t>(2 + step % 5, c1 - done1);
        if (n1 > 0) image.place(1, s.bases[1], done1, n1, at);
        at += n1;
        done1 += n1;
      }
      break;
    }
    case CarveCase::oldCopy: {
      const size_t c1 = image.clustersOf(s.bases[1]);
      image.place(1, s.bases[1], 0, c1, 4);
      image.place(0, s.bases[0], 0, c0, 4 + c1 + 20);
      break;
    }
  }
  return s;
}

}  // namespace vireo::testing
