// What the core hands a window front end: the context menu and dialog tables, and the file
// chooser helpers.
#include "tests/tool/ToolTestUtil.h"
#include "tool/FileFilter.h"
#include "tool/Menus.h"
#include "tool/Texts.h"

namespace jvo::tool::test {
namespace {

// The menu of every sub-menu the picture can ask for, flattened to "text=command" in order,
// with cascades as "text>" followed by their entries.
std::string Flatten(const std::vector<MenuItem>& items) {
    std::string out;
    for (const MenuItem& item : items) {
        if (!out.empty()) out += ' ';
        if (item.sub.empty()) {
            out += item.text + "=" + std::to_string(item.command);
        } else {
            EXPECT_EQ(item.command, 0) << item.text;
            out += item.text + ">[" + Flatten(item.sub) + "]";
        }
    }
    return out;
}

TEST(FrontEndTablesTest, ContextMenusDialogAndAboutTexts) {
    const std::string add3 = "Add Breaker>[One-Pole=32774 Two-Pole=32777 Three-Pole=32781]";
    EXPECT_EQ(Flatten(ContextMenuItems(MENU_DELETE)), "Delete Breaker=32772");
    EXPECT_EQ(Flatten(ContextMenuItems(MENU_ADD_SINGLE)), "Add Breaker>[One-Pole=32774]");
    EXPECT_EQ(Flatten(ContextMenuItems(MENU_ADD_DOUBLE)),
              "Add Breaker>[One-Pole=32774 Two-Pole=32777]");
    EXPECT_EQ(Flatten(ContextMenuItems(MENU_ADD_TRIPLE)), add3);
    EXPECT_EQ(Flatten(ContextMenuItems(MENU_ADD_TRIPLE_SUBFEED)), add3 + " Add Subfeed=32788");
    EXPECT_EQ(Flatten(ContextMenuItems(MENU_ADD_SUBFEED)), "Add Subfeed=32788");
    EXPECT_TRUE(ContextMenuItems(MENU_NONE).empty());
    EXPECT_TRUE(ContextMenuItems(6).empty());
    EXPECT_EQ(ContextMenuTitle(MENU_ADD_TRIPLE_SUBFEED), "Add Triple Subfeed");
    EXPECT_EQ(ContextMenuTitle(7), "");

    const SubfeedDialogTexts& d = AddSubfeedCaptions();
    EXPECT_EQ(d.title, "Add Subfeed");
    EXPECT_EQ(d.candidates[0], "Subfeed #1");
    EXPECT_EQ(d.candidates[15], "Subfeed #16");
    EXPECT_EQ(d.candidateIds[0], 1002);
    EXPECT_EQ(d.candidateIds[15], 1017);
    EXPECT_EQ(d.sizes, (std::array<std::string, 3>{"100 Amp", "225 Amp", "400 Amp"}));
    EXPECT_EQ(d.sizeIds, (std::array<int, 3>{1054, 1055, 1056}));
    EXPECT_EQ(d.candidateGroup + "/" + d.sizeGroup + "/" + d.ok + "/" + d.cancel,
              "Select Subfeed/Select Size/Add Subfeed/Cancel");

    const AboutTexts& a = AboutBoxTexts();
    EXPECT_EQ(a.menuItem, "&About JVO-Config...");
    EXPECT_EQ(a.title, "About JVO Configuration Tool");
    EXPECT_EQ(a.version, "JVO Configuration Tool: Build 26");

    // The main window's version line is the about box's, and command 16 opens the box.
    ScriptedUi ui;
    BasicDlg dlg(ui);
    dlg.InitDialog();
    EXPECT_EQ(ui.texts[IDC_VERSION], a.version);
    dlg.OnCommand(BasicDlg::kAboutCommand);
    EXPECT_EQ(ui.abouts, 1);
}

TEST(FrontEndTablesTest, FileFiltersAndTheDefaultExtension) {
    EXPECT_EQ(ToQtFilter(text::kOpenFilter), "JVO Config Files (*.jvo.cfg)");
    EXPECT_EQ(ToQtFilter(text::kSaveFilter), "JVO Config File (*.jvo.cfg)");
    // Several entries, several patterns, a name without patterns in it, a missing pattern.
    EXPECT_EQ(ToQtFilter("Text|*.txt;*.log|All Files (*.*)|*.*||"),
              "Text (*.txt *.log);;All Files (*.*)");
    EXPECT_EQ(ToQtFilter("Only a name"), "Only a name");
    EXPECT_EQ(ToQtFilter(""), "");
    EXPECT_EQ(ToQtFilter("||"), "");

    const std::string ext = text::kFileExt;
    EXPECT_EQ(WithDefaultExtension("/tmp/panel", ext), "/tmp/panel.jvo.cfg");
    EXPECT_EQ(WithDefaultExtension("/tmp/panel.cfg", ext), "/tmp/panel.cfg.jvo.cfg");
    EXPECT_EQ(WithDefaultExtension("/tmp/panel.jvo.cfg", ext), "/tmp/panel.jvo.cfg");
    EXPECT_EQ(WithDefaultExtension("/tmp/PANEL.JVO.CFG", ext), "/tmp/PANEL.JVO.CFG");
    EXPECT_EQ(WithDefaultExtension("/tmp/a.jvo.cfg.d/panel", "." + ext),
              "/tmp/a.jvo.cfg.d/panel.jvo.cfg");
    EXPECT_EQ(WithDefaultExtension("panel.", ext), "panel.jvo.cfg");
    EXPECT_EQ(WithDefaultExtension("/tmp/", ext), "/tmp/");
    EXPECT_EQ(WithDefaultExtension("", ext), "");
}

}  // namespace
}  // namespace jvo::tool::test
