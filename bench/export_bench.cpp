// Exporting 100,000 messages (into an empty folder, and again into the same folder) against a
// baseline that writes files of the same sizes from memory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "content/message_export.h"
#include "reader/message_base_reader.h"
#include "tools/dbx_writer/dbx_image.h"
#include "tools/dbx_writer/scratch_dir.h"

namespace {

using vireo::testing::DbxImage;
using vireo::testing::ScratchDir;

constexpr int kMessages = 100000;

// Messages of 600 to 6,000 bytes in 512-byte blocks behind 16-byte headers, as a base lays them.
struct Fixture {
  ScratchDir folder;
  vireo::MessageBaseReader reader;
  std::vector<std::string> texts;

  Fixture() {
    DbxImage image;
    for (int i = 0; i < kMessages; ++i) {
      std::string& text = texts.emplace_back(600 + (i * 7919) % 5400, static_cast<char>('a' + i % 26));
      vireo::BlockList blocks;
      for (size_t done = 0; done < text.size(); done += 512) {
        const size_t length = std::min<size_t>(512, text.size() - done);
        const uint32_t at = image.reserve(16 + length);
        image.putBytes(at + 16, std::string_view(text).substr(done, length));
        blocks.entries.push_back({at + 16, static_cast<int16_t>(length)});
      }
      vireo::MessageRecord record;
      record.invalid = false;
      record.number = i;
      reader.addRecord(std::move(record), blocks.entries);
    }
    reader.workingPath = folder.file("base.dbx");
    image.save(reader.workingPath);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void freshFolder(const std::string& path) {
  std::filesystem::remove_all(path);
  std::filesystem::create_directory(path);
}

void BM_Baseline(benchmark::State& state) {
  Fixture& f = fixture();
  const std::string out = f.folder.file("baseline");
  for (auto _ : state) {
    state.PauseTiming();
    freshFolder(out);
    state.ResumeTiming();
    for (int i = 0; i < kMessages; ++i) {
      const std::string name = out + "/" + std::to_string(i) + ".eml";
      const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      const std::string& text = f.texts[static_cast<size_t>(i)];
      benchmark::DoNotOptimize(::write(fd, text.data(), text.size()));
      ::close(fd);
    }
  }
}

void BM_Export(benchmark::State& state) {
  Fixture& f = fixture();
  const std::string out = f.folder.file("export");
  for (auto _ : state) {
    state.PauseTiming();
    freshFolder(out);
    state.ResumeTiming();
    vireo::MessageFileWriter writer(f.reader.workingPath);
    for (int i = 0; i < kMessages; ++i)
      benchmark::DoNotOptimize(writer.write(f.reader, i, vireo::messageFileName(out, f.reader.row(i).number, "eml", -1)));
  }
}

// The same base saved again into the folder it was saved to: every name already holds the same
// bytes, so each temporary is compared with it and discarded.
void BM_ExportAgain(benchmark::State& state) {
  Fixture& f = fixture();
  const std::string out = f.folder.file("again");
  freshFolder(out);
  {
    vireo::MessageFileWriter writer(f.reader.workingPath);
    for (int i = 0; i < kMessages; ++i)
      benchmark::DoNotOptimize(writer.write(f.reader, i, vireo::messageFileName(out, f.reader.row(i).number, "eml", -1)));
  }
  for (auto _ : state) {
    vireo::MessageFileWriter writer(f.reader.workingPath);
    for (int i = 0; i < kMessages; ++i)
      benchmark::DoNotOptimize(writer.write(f.reader, i, vireo::messageFileName(out, f.reader.row(i).number, "eml", -1)));
  }
}

BENCHMARK(BM_Baseline)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportAgain)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
