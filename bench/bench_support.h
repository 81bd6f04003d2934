#pragma once
// Shared by the benchmarks: realistic message texts, the sequential-read baseline, and timing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/read_only_file.h"
#include "reader/message_base_reader.h"
#include "tools/dbx_writer/dbx_writer.h"

namespace vireo::bench {

// A plausible mail message of a few kilobytes: headers in one of several character sets,
// sometimes an encoded-word subject, a text body, now and then a base64 attachment.
inline std::string realisticMessage(int i, std::mt19937& random) {
  static const char* const kCharsets[] = {"windows-1251", "koi8-r", "iso-8859-1", "utf-8", "us-ascii"};
  const char* charset = kCharsets[random() % 5];
  std::string subject = (i % 4 == 0) ? "=?koi8-r?B?8NLJ18XU?= report " + std::to_string(i)
                                     : "Weekly report number " + std::to_string(i);
  std::string text = "Return-Path: <sender" + std::to_string(i % 97) + "@example.org>\r\n"
                     "Received: from mail.example.org by mx.example.net; Tue, 5 Dec 2006 10:00:00 +0000\r\n"
                     "From: \"Sender " + std::to_string(i % 97) + "\" <sender@example.org>\r\n"
                     "To: recipient@example.net\r\n"
                     "Subject: " + subject + "\r\n"
                     "Date: Tue, 05 Dec 2006 10:" + std::to_string(10 + i % 50) + ":00 +0100\r\n"
                     "MIME-Version: 1.0\r\n";
  const bool attachment = random() % 10 == 0;
  if (attachment) {
    text += "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\n";
  }
  text += std::string("Content-Type: text/plain; charset=") + charset + "\r\n\r\n";
  const int lines = 10 + static_cast<int>(random() % 80);
  for (int l = 0; l < lines; ++l)
    text += "This is line " + std::to_string(l) + " of a message body, long enough to be typical.\r\n";
  if (attachment) {
    text += "--b1\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n";
    const int rows = 50 + static_cast<int>(random() % 400);
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < 76; ++c) text += kAlphabet[random() % 64];
      text += "\r\n";
    }
    text += "--b1--\r\n";
  }
  return text;
}

// A base to recover of about targetBytes: realistic messages, now and then a large attachment,
// every seventh in no index (only recovery finds it) and every thirteenth deleted.
inline testing::DbxImage recoveryBase(uint64_t targetBytes, int& messages, uint32_t seed = 42) {
  std::mt19937 random(seed);
  testing::DbxWriter writer;
  uint64_t estimate = 0;
  messages = 0;
  while (estimate < targetBytes) {
    testing::MessageSpec item;
    item.text = realisticMessage(messages, random);
    if (messages % 50 == 0) item.text += std::string(200000, 'Z');
    item.listing = messages % 7 == 0 ? testing::MessageSpec::Listing::none : testing::MessageSpec::Listing::index;
    item.deleted = messages % 13 == 0;
    estimate += (item.text.size() + 511) / 512 * 528;
    writer.add(item);
    ++messages;
  }
  return writer.build();
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One plain sequential read of the whole file in 1,000,000-byte chunks: the baseline.
inline double sequentialReadSeconds(const std::string& path) {
  ReadOnlyFile file;
  if (!file.open(path)) return 0;
  std::vector<char> buffer(1000000);
  const auto start = std::chrono::steady_clock::now();
  uint64_t offset = 0;
  volatile char sink = 0;
  while (size_t got = file.readAt(offset, buffer.data(), buffer.size())) {
    offset += got;
    sink = sink + buffer[got - 1];
  }
  return secondsSince(start);
}

// `cat FILE > /dev/null`, the reading a user would compare with: one process, its own buffer size.
inline double catSeconds(const std::string& path) {
  const std::string command = "cat '" + path + "' > /dev/null";
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return 0;
  return secondsSince(start);
}

// What the operations' system calls brought in, per byte of the file (read-ahead included).
inline void printBytesFetched(const char* what, uint64_t fetched, uint64_t fileSize) {
  std::printf("%s: bytes fetched %.3f per byte of the file (target: at most 1.1)\n", what,
              static_cast<double>(fetched) / static_cast<double>(fileSize));
}

// Empties the page cache so the next read comes from the disk; false where that is not allowed
// (not root). Cold figures are what a user opening an old base first sees.
inline bool dropPageCache() {
  ::sync();  // pages not yet written back cannot be dropped
  std::ofstream control("/proc/sys/vm/drop_caches");
  if (!control) return false;
  control << "1\n";
  control.flush();
  return static_cast<bool>(control);
}

// The base folder/name opened as the worker opens it: browsed, or recovered when recover is set.
// On the heap: a reader holds atomics, so it does not move.
inline std::unique_ptr<MessageBaseReader> openedBase(const std::string& folder, const std::string& name, bool recover) {
  auto reader = std::make_unique<MessageBaseReader>();
  reader->baseFolder = folder;
  reader->baseName = name;
  reader->recoverMode = recover ? 1 : 0;
  reader->openBase(false);
  return reader;
}

// Prints a plain read of path and one run of operation, each from an empty page cache, and their
// ratio; prints nothing where the cache cannot be dropped.
template <class F>
void printColdRatio(const std::string& path, const char* what, F&& operation) {
  if (!dropPageCache()) return;
  const double read = sequentialReadSeconds(path);
  dropPageCache();
  const auto start = std::chrono::steady_clock::now();
  operation();
  const double seconds = secondsSince(start);
  std::printf("cold cache: sequential read %.3f s, %s %.3f s: %.2fx\n", read, what, seconds, seconds / read);
}

// User and system time of the whole process (every thread) so far: on a shared machine the wall
// time varies with the other load, this much less.
inline double processCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Opening a base against `cat` of its file, run in turn so that the machine's drift over the run
// (on a shared virtual machine, tens of percent within a minute) touches both alike. The open
// is timed until its table is made, as a user waits for it; freeing the table, which happens when
// the base is closed, is timed apart.
struct OpenAgainstCat {
  double cat = 0;      // median seconds of `cat FILE > /dev/null`
  double open = 0;     // median seconds until the table is made
  double openCpu = 0;  // CPU seconds of an open on average, every thread
  double freeing = 0;  // median seconds to free the table afterwards
};

template <class Open>
OpenAgainstCat openAgainstCat(const std::string& path, int runs, Open&& open) {
  std::vector<double> cats, opens, frees;
  double cpu = 0;
  for (int r = 0; r < runs; ++r) {
    cats.push_back(catSeconds(path));
    const double cpuBefore = processCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    auto table = open();
    opens.push_back(secondsSince(start));
    cpu += processCpuSeconds() - cpuBefore;
    start = std::chrono::steady_clock::now();
    table.reset();
    frees.push_back(secondsSince(start));
  }
  return {median(cats), median(opens), runs > 0 ? cpu / runs : 0, median(frees)};
}

template <class F>
double medianSeconds(int runs, F&& body) {
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    const auto start = std::chrono::steady_clock::now();
    body();
    times.push_back(secondsSince(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace vireo::bench
