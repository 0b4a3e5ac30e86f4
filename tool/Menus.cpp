#include "tool/Menus.h"

#include "base/FormatStr.h"
#include "tool/Texts.h"

namespace jvo::tool {

namespace {

MenuItem AddBreaker(int poles) {
    static const MenuItem kPoles[3] = {{"One-Pole", CMD_ADD_BREAKER_ONE, {}},
                                       {"Two-Pole", CMD_ADD_BREAKER_TWO, {}},
                                       {"Three-Pole", CMD_ADD_BREAKER_THREE, {}}};
    MenuItem cascade{"Add Breaker", 0, {}};
    for (int k = 0; k < poles; ++k)
        cascade.sub.push_back(kPoles[k]);
    return cascade;
}

const MenuItem kDelete{"Delete Breaker", CMD_DELETE_BREAKER, {}};
const MenuItem kAddSubfeed{"Add Subfeed", CMD_ADD_SUBFEED, {}};

}  // namespace

const std::vector<MenuItem>& ContextMenuItems(int subMenu) {
    static const std::array<std::vector<MenuItem>, kContextSubMenus> kMenus = {
        std::vector<MenuItem>{kDelete},
        std::vector<MenuItem>{AddBreaker(1)},
        std::vector<MenuItem>{AddBreaker(2)},
        std::vector<MenuItem>{AddBreaker(3)},
        std::vector<MenuItem>{AddBreaker(3), kAddSubfeed},
        std::vector<MenuItem>{kAddSubfeed},
    };
    static const std::vector<MenuItem> kNone;
    return subMenu >= 0 && subMenu < kContextSubMenus ? kMenus[subMenu] : kNone;
}

std::string ContextMenuTitle(int subMenu) {
    static const char* const kTitles[kContextSubMenus] = {"Delete Breaker",     "Add Single",
                                                          "Add Double",         "Add Triple",
                                                          "Add Triple Subfeed", "Add Subfeed"};
    return subMenu >= 0 && subMenu < kContextSubMenus ? kTitles[subMenu] : "";
}

const SubfeedDialogTexts& AddSubfeedCaptions() {
    static const SubfeedDialogTexts kTexts = [] {
        SubfeedDialogTexts t;
        t.title = text::kAddSubfeedTitle;
        t.candidateGroup = "Select Subfeed";
        for (int k = 0; k < 16; ++k) {
            t.candidates[k] = FormatStr("Subfeed #%d", k + 1);
            t.candidateIds[k] = 1002 + k;
        }
        t.sizeGroup = "Select Size";
        t.sizes = {"100 Amp", "225 Amp", "400 Amp"};
        t.sizeIds = {1054, 1055, 1056};
        t.ok = "Add Subfeed";
        t.cancel = "Cancel";
        return t;
    }();
    return kTexts;
}

const AboutTexts& AboutBoxTexts() {
    static const AboutTexts kTexts{text::kAboutMenuItem, text::kAboutTitle,
                                   FormatStr("JVO Configuration Tool: Build %d", text::kToolBuild),
                                   "OK"};
    return kTexts;
}

}  // namespace jvo::tool
