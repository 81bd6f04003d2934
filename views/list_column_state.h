#pragma once
// The message list's column state that the document keeps for each of the two message layouts
// (browse = slot 0, recovery = slot 1), so a layout comes back as the user left it when another
// base of the same kind is shown. Lives as long as the document; never written to disk.
#include <array>

namespace vireo::views {

inline constexpr int kLogicalColumns = 7;  // deleted, attachment, From, To, Subject, Date, Number
inline constexpr int kBrowseSlot = 0;
inline constexpr int kRecoverySlot = 1;

struct ListColumnState {
  std::array<int, kLogicalColumns> widths{};  // -1: none saved
  std::array<int, kLogicalColumns> orders{};  // display order; -1: none saved
  int sortPosition = 0;
  bool ascending = true;
};

// The values at document construction: Subject 100 wide, everything else unsaved,
// ascending, sorted by the Number column (position 6 in the browse layout, 5 in the recovery one).
std::array<ListColumnState, 2> initialListColumnState();

}  // namespace vireo::views
