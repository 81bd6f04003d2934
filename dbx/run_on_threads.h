#pragma once
// Work cut into parts, run on threads of their own (the browse and the recovery scan in parts).
#include <cstddef>
#include <thread>
#include <vector>

namespace vireo::dbx {

// Runs work(0) on the calling thread and work(1) ... work(count - 1) on threads of their own,
// and returns when all have ended. A part whose thread cannot be started runs on the calling
// thread after its own. work must not throw: nothing may leave while threads run.
template <class Work>
void runOnThreads(size_t count, Work&& work) {
  std::vector<std::thread> threads;
  std::vector<size_t> unstarted;
  threads.reserve(count);
  unstarted.reserve(count);
  for (size_t part = 1; part < count; ++part) {
    try {
      threads.emplace_back([&work, part] { work(part); });
    } catch (...) {
      unstarted.push_back(part);
    }
  }
  work(0);
  for (const size_t part : unstarted) work(part);
  for (std::thread& thread : threads) thread.join();
}

}  // namespace vireo::dbx
