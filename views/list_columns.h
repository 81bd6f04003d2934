#pragma once
// The message list's seven logical columns, the layouts that place them, and the list's
// process-wide state: the column position table and the sort key and direction. The compare
// function, the arrow and the save of column state all map a control column (a "position")
// back to a logical column through the position table.
#include <array>

namespace vireo::views {

enum LogicalColumn : int {
  kDeletedColumn = 0,
  kAttachmentColumn = 1,
  kFromColumn = 2,
  kToColumn = 3,
  kSubjectColumn = 4,
  kDateColumn = 5,
  kNumberColumn = 6,
};

enum class ListLayout { notice, browse, recovery };

struct ColumnInfo {
  const char* title;           // empty for the picture columns
  const char* accessibleName;  // what a screen reader says for the header
  int defaultWidth;
  int browsePosition;    // -1: absent
  int recoveryPosition;  // -1: absent
};

inline constexpr std::array<ColumnInfo, 7> kColumns = {{
    {"", "Deleted", 25, 0, -1},
    {"", "Attachment", 25, 1, 0},
    {"From", "From", 100, 2, 1},
    {"To", "To", 100, 3, 2},
    {"Subject", "Subject", 100, 4, 3},
    {"Date", "Date", 135, 5, 4},
    {"Number", "Number", 80, 6, 5},
}};

inline constexpr int kPictureColumnWidth = 25;

constexpr bool isPictureColumn(int logical) { return logical == kDeletedColumn || logical == kAttachmentColumn; }

// Number of columns a layout shows: 7, 6, or the notice layout's 2.
int columnCount(ListLayout layout);
// The logical column at a layout's position, -1 for none.
int logicalColumnIn(ListLayout layout, int position);

// The process-wide position of each logical column in the message layout last built; -1 absent.
extern std::array<int, 7> columnPositions;
// Sets columnPositions for a message layout (browse or recovery).
void setColumnPositions(ListLayout layout);
// The logical column that columnPositions places at position; -1 when none does.
int logicalColumnAt(int position);

// The position the list is sorted by and the direction in force.
extern int sortKey;
extern bool sortAscending;

}  // namespace vireo::views
