#pragma once
// Every command of the window: its id, its menu text, and its resource string ("prompt\ntooltip":
// the status bar's fly-by prompt, a line break, the toolbar's tooltip), the main menu and the
// toolbar. Texts stand exactly as the program shows them, blanks included. The actions, menus
// and toolbar are built from this table (command_actions.h); the context menus of the tree and
// the list take their texts from it too.
#include <span>
#include <string_view>

#include "reader/command_availability.h"

namespace vireo::command {
// Beside the document's commands (reader/command_availability.h): the window's own ones and the
// platform's standard ones.
inline constexpr int kViewSource = 32783;
inline constexpr int kOpenInOe = 32784;
inline constexpr int kOptions = 32800;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kHelpFinder = 57667;
inline constexpr int kContextHelp = 57669;
inline constexpr int kHelp = 57670;
inline constexpr int kDefaultHelp = 57671;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
}  // namespace vireo::command

namespace vireo::views {

struct CommandInfo {
  int id = 0;
  const char* menuText = nullptr;         // in the main menu, or the only menu that has it
  const char* contextMenuText = nullptr;  // the tree's or list's menu where it differs; else null
  const char* resourceString = nullptr;   // "prompt\ntooltip"; null: neither
  const char* icon = nullptr;             // the toolbar picture's resource path; null: none
};

// Null for an id that is not a command of the window.
const CommandInfo* findCommand(int id);
std::span<const CommandInfo> commandTable();

// The two halves of the resource string; empty when the command has none.
std::string_view commandPrompt(const CommandInfo& info);
std::string_view commandTooltip(const CommandInfo& info);

inline constexpr int kSeparator = 0;

struct MenuLayout {
  const char* title;
  std::span<const int> items;  // command ids; kSeparator draws a line
};

std::span<const MenuLayout> mainMenuLayout();
std::span<const int> toolbarLayout();

}  // namespace vireo::views
