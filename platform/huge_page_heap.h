#pragma once
// Reading a large base fills a few hundred megabytes of fresh heap: block lists, records, the
// parse's buffers. Each first touch of a 4 KiB page is a fault, and on a virtual machine a fault
// costs microseconds: a fifth of a browse's time went to them. In the kernel's transparent huge
// pages (2 MiB) one fault does the work of 512. glibc's malloc asks for them only when its
// tunable says so, and reads its tunables only as a program starts: so a program that wants them
// starts itself again, once, with the tunable set, before it does anything else.
#include <cstdint>
#include <optional>
#include <string>

namespace vireo {

// Call first thing in main, with the most bytes of a base the run is about to read. Starting
// again costs what the program's own start does (a few milliseconds for the command line, a
// tenth of a second for the window, which therefore does not ask), so only a run that will read a
// large base starts again. Returns at once in the program started again (after putting the
// environment back as it was, so the programs it starts inherit the user's own), and when the
// user's GLIBC_TUNABLES already decides about huge pages, when the system offers none, or when
// starting again failed.
void preferHugePageHeap(char** argv, uint64_t largestBase);
inline constexpr uint64_t kHugePageHeapWorthBytes = uint64_t{64} << 20;

// The GLIBC_TUNABLES that asks for huge pages, given the one in the environment (null: unset);
// none when the user's own already names the tunable.
std::optional<std::string> hugePageTunables(const char* current);

// Starts program with argv, the tunable added to the environment and a note of what it was
// before; returns only when that failed, with the environment as it was.
void restartWithHugePageHeap(const char* program, char** argv);

// In the program started again: puts GLIBC_TUNABLES back as it was; false when this process was
// not started so.
bool restoreTunablesAfterRestart();

}  // namespace vireo
