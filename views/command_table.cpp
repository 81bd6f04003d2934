#include "views/command_table.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vireo::views {
namespace {

using namespace vireo::command;

constexpr std::array kCommands{
    CommandInfo{kBrowse, "Message base browsing  ", "Message base browsing ",
                "Message base browsing. Vireo will not modify the original message base file. \n"
                " Message base browsing",
                ":/icons/browse.svg"},
    CommandInfo{kRecover, "Message base recovery", nullptr,
                "Message base recovery. Vireo will not modify the original message base file. \n"
                " Message base recovery",
                ":/icons/recover.svg"},
    CommandInfo{kSaveAll, "Save message base as *.eml files", nullptr,
                "Save all letters from selected folder as *.eml\n Save as *.eml", nullptr},
    CommandInfo{kOpenBase, "Open message base...", nullptr,
                "Open a message base file, add it to the Tree View and browse it\nOpen message base", nullptr},
    CommandInfo{kOpenDiskImage, "Open disk image...", nullptr,
                "Find the message bases in a disk image or on a disk and add them to the Tree View\nOpen disk image",
                nullptr},
    CommandInfo{kViewOnlyNotInIndex, "Show only messages not in the index", nullptr,
                "Show only the recovered messages that the base's index does not list\nNot in the index", nullptr},
    CommandInfo{kViewHideFragments, "Hide fragments", nullptr,
                "Hide the recovered parts of messages\nHide fragments", nullptr},
    CommandInfo{kSaveAllMbox, "Save message base as mbox...", nullptr,
                "Save all letters from selected folder as one mbox file\n Save as mbox", nullptr},
    CommandInfo{kSaveAllMaildir, "Save message base as Maildir...", nullptr,
                "Save all letters from selected folder as a Maildir folder\n Save as Maildir", nullptr},
    CommandInfo{kSaveSelectedMbox, "Save as mbox...", nullptr, "Save the selected letters as one mbox file\nSave as mbox",
                nullptr},
    CommandInfo{kSaveSelectedMaildir, "Save as Maildir...", nullptr,
                "Save the selected letters as a Maildir folder\nSave as Maildir", nullptr},
    CommandInfo{kAddBase, "Add message base to Tree View", nullptr,
                "Add message base to Tree View \n Add message base to Tree View", ":/icons/add_base.svg"},
    CommandInfo{kStop, "Stop", nullptr, "Stop current operation \n Stop", ":/icons/stop.svg"},
    CommandInfo{kViewSource, "View source", nullptr, nullptr, nullptr},
    CommandInfo{kOpenInOe, "Open in OE", nullptr, nullptr, nullptr},
    CommandInfo{kSaveSelected, "Save as *.eml", "Save as eml", "Save as *.eml\nSave as *.eml ",
                ":/icons/save_eml.svg"},
    CommandInfo{kViewSystemBase, "View System message base", nullptr, nullptr, nullptr},
    CommandInfo{kViewNewsBase, "View News message base", nullptr, nullptr, nullptr},
    CommandInfo{kCopyBase, "Copy message base to ...", nullptr, nullptr, nullptr},
    CommandInfo{kRemoveBase, "Remove from Tree View", nullptr,
                "Remove from Tree View \n Remove from Tree View", ":/icons/remove_base.svg"},
    CommandInfo{kOptions, "Options...", nullptr, nullptr, nullptr},
    CommandInfo{kAppExit, "E&xit", nullptr, nullptr, nullptr},
    CommandInfo{kViewToolbar, "&Toolbar", nullptr, "Show or hide the toolbar\nToggle ToolBar", nullptr},
    CommandInfo{kViewStatusBar, "&Status Bar", nullptr, "Show or hide the status bar\nToggle StatusBar",
                nullptr},
    CommandInfo{kHelpFinder, "&Help Topics", nullptr, "List Help topics\nHelp Topics", nullptr},
    CommandInfo{kAppAbout, "&About Vireo...", nullptr,
                "Display program information, version number and copyright\nAbout", nullptr},
    // No menu shows it: F1 reaches it, as the idle text promises.
    CommandInfo{kHelp, "Help", nullptr, nullptr, nullptr},
};

constexpr std::array kFileMenu{kOpenBase,    kOpenDiskImage,  kAddBase,   kRemoveBase, kCopyBase, kSeparator,
                               kSaveAllMbox, kSaveAllMaildir, kSeparator, kAppExit};
constexpr std::array kToolsMenu{kBrowse,    kRecover,          kSeparator,           kSaveSelected, kSaveSelectedMbox,
                                kSaveSelectedMaildir, kSeparator, kStop, kSeparator, kOptions};
constexpr std::array kViewMenu{kViewToolbar, kViewStatusBar, kSeparator, kViewOnlyNotInIndex, kViewHideFragments};
constexpr std::array kHelpMenu{kHelpFinder, kSeparator, kAppAbout};

constexpr std::array kMainMenu{
    MenuLayout{"&File", kFileMenu},
    MenuLayout{"Tools", kToolsMenu},
    MenuLayout{"&View", kViewMenu},
    MenuLayout{"&Help", kHelpMenu},
};

constexpr std::array kToolbar{kAddBase, kRemoveBase, kSaveSelected, kSeparator,
                              kBrowse,  kRecover,    kSeparator,    kStop};

// The keys of the frequent commands; menus show them beside the text. Esc reaches Stop only while
// an operation runs, as Stop is disabled otherwise.
constexpr std::array<std::pair<int, const char*>, 6> kShortcuts{{
    {kOpenBase, "Ctrl+O"},
    {kBrowse, "Ctrl+B"},
    {kRecover, "Ctrl+R"},
    {kSaveSelected, "Ctrl+S"},
    {kStop, "Esc"},
    {kHelp, "F1"},
}};

}  // namespace

const char* commandShortcut(int id) {
  for (const auto& [command, keys] : kShortcuts)
    if (command == id) return keys;
  return nullptr;
}

const CommandInfo* findCommand(int id) {
  const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                  [id](const CommandInfo& info) { return info.id == id; });
  return found == kCommands.end() ? nullptr : &*found;
}

std::span<const CommandInfo> commandTable() { return kCommands; }

std::string_view commandPrompt(const CommandInfo& info) {
  if (!info.resourceString) return {};
  const std::string_view text = info.resourceString;
  return text.substr(0, text.find('\n'));
}

std::string_view commandTooltip(const CommandInfo& info) {
  if (!info.resourceString) return {};
  const std::string_view text = info.resourceString;
  const size_t lineBreak = text.find('\n');
  return lineBreak == std::string_view::npos ? std::string_view() : text.substr(lineBreak + 1);
}

std::span<const MenuLayout> mainMenuLayout() { return kMainMenu; }
std::span<const int> toolbarLayout() { return kToolbar; }

}  // namespace vireo::views
