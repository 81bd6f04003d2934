#pragma once
// Every command of the window: its id, its menu text, and its resource string ("prompt\ntooltip":
// the status bar's fly-by prompt, a line break, the toolbar's tooltip), the main menu and the
// toolbar. Texts stand exactly as the program shows them, blanks included. The actions, menus
// and toolbar are built from this table (command_actions.h); the context menus of the tree and
// the list take their texts from it too.
#include <span>
#include <string_view>

#include "reader/command_availability.h"
#include "table/design_numbers.h"  // the ids

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

// The command's key ("Ctrl+B", in QKeySequence's portable form); null when it has none.
const char* commandShortcut(int id);

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
