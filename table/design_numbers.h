#pragma once
// The numbers by which the parts of the program address each other, each with one name: the
// hints of an update, the selection values that name no base, the worker's completion messages
// and the command identifiers. Header only, at the bottom, so every layer may include it.

namespace vireo {

// CDocument::UpdateAllViews(sender, hint): 0 refreshes every view; the bit of value 2 refreshes
// the list and the bit of value 4 the preview. The tree rebuilds on 0 and on odd hints.
inline constexpr int kHintAll = 0;
inline constexpr int kHintTreeBit = 1;
inline constexpr int kHintListBit = 2;
inline constexpr int kHintPreviewBit = 4;
// The list's current row changed.
inline constexpr int kHintPreview = kHintPreviewBit;
// Before and after an operation on the selected base (the tree keeps its nodes).
inline constexpr int kHintListAndPreview = kHintListBit | kHintPreviewBit;

// The one way a view decodes a hint.
constexpr bool hintRefreshesTree(int hint) { return hint == kHintAll || (hint & kHintTreeBit) != 0; }
constexpr bool hintRefreshesList(int hint) { return hint == kHintAll || (hint & kHintListBit) != 0; }
constexpr bool hintRefreshesPreview(int hint) { return hint == kHintAll || (hint & kHintPreviewBit) != 0; }

// currentReader and a tree node's item data: a reader index, or one of these. Any value of
// kNoReader or more means that no base is meant.
inline constexpr int kNoReader = 2147483547;  // nothing selected
inline constexpr int kRootItem = 2147483548;  // the tree's root
inline constexpr int kGroupItem = 2147483549;  // a folder group

// The worker's messages to the window (the tree view), sent when an operation ends or a search
// has new progress text.
inline constexpr int kOperationSucceeded = 2025;
inline constexpr int kOperationFailed = 2026;  // failed or stopped
inline constexpr int kSearchProgress = 2028;   // a new progress text of a search

}  // namespace vireo

namespace vireo::command {
// The document's commands; their availability is reader/command_availability.h.
inline constexpr int kBrowse = 32773;
inline constexpr int kRecover = 32774;
inline constexpr int kSaveAll = 32775;
inline constexpr int kAddBase = 32776;
inline constexpr int kStop = 32780;
inline constexpr int kSaveSelected = 32788;
inline constexpr int kViewSystemBase = 32792;
inline constexpr int kViewNewsBase = 32793;
inline constexpr int kCopyBase = 32795;
inline constexpr int kRemoveBase = 32796;
inline constexpr int kNew = 57600;
// A base, or the selected messages, as one mbox file or as a Maildir folder.
inline constexpr int kSaveAllMbox = 32840;
inline constexpr int kSaveAllMaildir = 32841;
inline constexpr int kSaveSelectedMbox = 32842;
inline constexpr int kSaveSelectedMaildir = 32843;
// The window's own commands and the platform's standard ones.
inline constexpr int kOpenBase = 57601;  // "Open message base...": a chosen .dbx file, browsed
inline constexpr int kOpenDiskImage = 32850;  // "Open disk image...": the bases found in an image
// The recovery layout's two filters, in the View menu and the list's context menu.
inline constexpr int kViewOnlyNotInIndex = 32851;
inline constexpr int kViewHideFragments = 32852;
inline constexpr int kViewSource = 32783;
inline constexpr int kOpenInOe = 32784;
inline constexpr int kOptions = 32800;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kHelpFinder = 57667;
inline constexpr int kContextHelp = 57669;
inline constexpr int kHelp = 57670;
inline constexpr int kDefaultHelp = 57671;
// Status pane 0's id while an operation runs (the platform's ID_INDICATOR_KANA): always enabled.
inline constexpr int kIndicatorKana = 59142;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
}  // namespace vireo::command
