#pragma once
// The menus and small dialogs of the configuration tool as plain tables: the panel picture's
// context menu with its command identifiers, the "Add Subfeed" dialog's captions and control
// identifiers, and the about box's texts. A front end builds its widgets from these tables and
// never spells a text or an identifier itself.
#include <array>
#include <string>
#include <vector>

namespace jvo::tool {

// The context menu's commands.
enum MapCommand : int {
    CMD_DELETE_BREAKER = 32772,
    CMD_ADD_BREAKER_ONE = 32774,
    CMD_ADD_BREAKER_TWO = 32777,
    CMD_ADD_BREAKER_THREE = 32781,
    CMD_ADD_SUBFEED = 32788,
};

// Sub-menus of the context menu; MENU_NONE when a slot offers none.
enum MapMenu : int {
    MENU_NONE = -1,
    MENU_DELETE = 0,
    MENU_ADD_SINGLE = 1,
    MENU_ADD_DOUBLE = 2,
    MENU_ADD_TRIPLE = 3,
    MENU_ADD_TRIPLE_SUBFEED = 4,
    MENU_ADD_SUBFEED = 5,
};
constexpr int kContextSubMenus = 6;

// One menu entry: a command (command != 0, no sub-entries) or a cascade of sub-entries
// (command == 0).
struct MenuItem {
    std::string text;
    int command = 0;
    std::vector<MenuItem> sub;
    bool operator==(const MenuItem&) const = default;
};

// The entries of context sub-menu `subMenu` (0..5) in the order shown; empty for any other
// value. Only the entries are shown, never the sub-menu's title.
const std::vector<MenuItem>& ContextMenuItems(int subMenu);
// The sub-menu's title ("Delete Breaker", "Add Single", ...); empty for an unknown sub-menu.
std::string ContextMenuTitle(int subMenu);

// The "Add Subfeed" dialog.
struct SubfeedDialogTexts {
    std::string title;                       // "Add Subfeed"
    std::string candidateGroup;              // "Select Subfeed"
    std::array<std::string, 16> candidates;  // "Subfeed #1" .. "Subfeed #16"
    std::array<int, 16> candidateIds;        // 1002 .. 1017
    std::string sizeGroup;                   // "Select Size"
    std::array<std::string, 3> sizes;        // "100 Amp", "225 Amp", "400 Amp"
    std::array<int, 3> sizeIds;              // 1054 .. 1056
    std::string ok;                          // "Add Subfeed", the default button
    std::string cancel;                      // "Cancel"
};
const SubfeedDialogTexts& AddSubfeedCaptions();

// The about box and the item that opens it (the controller's command kAboutCommand, 16).
struct AboutTexts {
    std::string menuItem;  // "&About JVO-Config..."
    std::string title;     // "About JVO Configuration Tool"
    std::string version;   // "JVO Configuration Tool: Build 26", also the main window's line
    std::string ok;        // "OK"
};
const AboutTexts& AboutBoxTexts();

}  // namespace jvo::tool
