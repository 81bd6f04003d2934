#pragma once
// The window side of the document: the core Document (settings, folders, the table of 500
// readers, the worker and the command flags) plus what only the window needs: the message
// list's column state, the tree's two filters, and the document's own command handlers
// (Stop, the filters, Options). The views reach everything through GetDocument().
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "reader/document.h"
#include "reader/settings.h"
#include "views/doc_view.h"
#include "views/list_column_state.h"

namespace vireo::views {

// The three options as the Options dialog shows them.
struct OptionChoice {
  bool copyBeforeBrowse = false;
  bool copyBeforeRecover = false;
  bool openStoreAtStart = true;
};

// How the search dialog was closed: its choice (2 "Search Now", 3 "Browse...") and the drive
// list as the user left it.
struct SearchChoice {
  int choice = 0;
  std::string driveList;
};

inline constexpr int kLeastListShare = 50;

class CVireoDoc : public CDocument, public Document {
 public:
  explicit CVireoDoc(DocumentSetup setup = DocumentSetup::forUser());
  ~CVireoDoc() override;

  // "Open message base...", "Open disk image...", Save all (32775), "Add message base to Tree View" (32776), Stop (32780), "View System message
  // base" (32792), "View News message base" (32793), Copy (32795), "Options..." (32800).
  bool OnCmdMsg(int commandId) override;
  // The availability table of the command flags and operationRunning; the filters' check marks.
  std::optional<bool> OnUpdateCmdUI(int commandId) override;
  std::optional<bool> OnUpdateCmdChecked(int commandId) override;

  // Stores the three options as "options" in the settings file; false when it could not. The
  // other settings in the file are kept; the file is made when it does not exist yet.
  bool writeOptions();
  // The list's share of the height it splits with the preview, in thousandths, from the settings
  // file; nullopt when none is stored (or one out of kLeastListShare..1000-kLeastListShare).
  std::optional<int> listShare() const;
  // Stores it the same way as the options.
  bool writeListShare(int thousandths);

  // 32775: asks for a folder, then writes every listed message of the selected base there.
  void saveAllMessages();
  // 32795: asks for a folder, then copies the selected base's file there on the worker. A folder
  // the copy cannot go to (short of space, the base's own) is said, and the dialog comes back.
  void copyBase();

  // Ctrl+O: a chosen .dbx file joins the table (or is found there), is selected in the tree and
  // browsed. Nothing while an operation runs.
  void openMessageBase();
  // "Open disk image...": a chosen image or block device is searched for bases on the worker;
  // they join the tree under a group named after the image. Nothing while an operation runs.
  void openDiskImage();
  // The base listed from this file (an absolute, normalised path), or -1. What a file manager's
  // "vireo FILE.dbx" selects and browses once the start-up has listed it.
  int readerForFile(const std::filesystem::path& file) const;

  // Asks the frame to bring its menu and toolbar states up to date (after a change of the
  // command flags or of operationRunning that no routed command or update caused).
  void requestCommandRefresh() const;

  // Set by the frame: refreshes the command states.
  std::function<void()> commandRefresh;
  // Set by the application: the Options dialog, shown with the current options; the boxes'
  // states after OK, nullopt after Cancel.
  std::function<std::optional<OptionChoice>(const OptionChoice& current)> optionsDialog;
  // "Add message base to Tree View": the search dialog with the drive list, for "Browse..." the
  // folder chooser, then the search of the drives (operation 3) or of the folder (4) on the
  // worker. Cancel, an empty chosen folder or a dialog closed without either button starts nothing.
  void addMessageBases();
  // Set by the application: the search dialog, shown with the drive list; nullopt after Cancel.
  std::function<std::optional<SearchChoice>(const std::string& driveList)> searchDialog;
  // Set by the application: "Select folder"; nullopt when the user cancelled.
  std::function<std::optional<std::string>()> selectFolder;
  // Set by the tree: shows the operation's text and bar in the status bar, runs start, and takes
  // them down again when start fails; returns what start returned. Unset, start runs alone.
  std::function<bool(int operation, const std::string& baseName, const std::function<bool()>& start)>
      operationStatus;
  // Set by the tree: selects the base's node (its group opened) and browses it.
  std::function<void(int readerIndex)> selectAndBrowse;
  // Set by the application: runs first when the document is destroyed, before a running worker
  // is stopped and awaited.
  std::function<void()> beforeClosing;

  // True when readerIndex names a base of the table (not one of the markers 2147483547..9).
  bool isBase(int readerIndex) const { return readerIndex >= 0 && readerIndex < readerCount; }

  std::array<ListColumnState, 2> listColumns = initialListColumnState();
  int showSystemBases = 0;
  int showNewsBases = 1;
  // Folders whose groups the tree opens when they first appear: those named on the command line.
  std::set<std::string> expandedFolders;

 private:
  void OnOptions();
  // Reads the settings file, changes it and writes it back whole; false when it could not.
  bool changeSettings(const std::function<void(Settings&)>& change);

  std::string settingsFile_;
  std::string openFolder_;  // where the last base was opened from
  std::string imageFolder_;  // where the last disk image was opened from
};

}  // namespace vireo::views
