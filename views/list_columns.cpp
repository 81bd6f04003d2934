#include "views/list_columns.h"

#include <cstddef>

namespace vireo::views {

std::array<int, 7> columnPositions = {-1, -1, -1, -1, -1, -1, -1};
int sortKey = 0;
bool sortAscending = true;

int columnCount(ListLayout layout) {
  switch (layout) {
    case ListLayout::browse: return 7;
    case ListLayout::recovery: return 6;
    case ListLayout::notice: break;
  }
  return 2;
}

int logicalColumnIn(ListLayout layout, int position) {
  if (layout == ListLayout::notice) return -1;
  for (int logical = 0; logical < static_cast<int>(kColumns.size()); ++logical) {
    const ColumnInfo& column = kColumns[static_cast<std::size_t>(logical)];
    if ((layout == ListLayout::browse ? column.browsePosition : column.recoveryPosition) == position) return logical;
  }
  return -1;
}

void setColumnPositions(ListLayout layout) {
  for (std::size_t logical = 0; logical < kColumns.size(); ++logical) {
    const ColumnInfo& column = kColumns[logical];
    columnPositions[logical] = layout == ListLayout::browse     ? column.browsePosition
                               : layout == ListLayout::recovery ? column.recoveryPosition
                                                                : -1;
  }
}

int logicalColumnAt(int position) {
  for (std::size_t logical = 0; logical < columnPositions.size(); ++logical)
    if (columnPositions[logical] == position) return static_cast<int>(logical);
  return -1;
}

}  // namespace vireo::views
