#include "views/list_column_state.h"

namespace vireo::views {

std::array<ListColumnState, 2> initialListColumnState() {
  std::array<ListColumnState, 2> slots;
  for (ListColumnState& slot : slots) {
    slot.widths.fill(-1);
    slot.orders.fill(-1);
    slot.widths[4] = 100;  // Subject; From and To are sized for the list's font when first shown
    slot.ascending = true;
  }
  slots[kBrowseSlot].sortPosition = 6;
  slots[kRecoverySlot].sortPosition = 5;
  return slots;
}

}  // namespace vireo::views
