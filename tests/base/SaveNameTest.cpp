// The name a saved file is written under: the default extension only for a name without one.
#include "base/SaveName.h"

#include <gtest/gtest.h>

namespace jvo {
namespace {

TEST(SaveNameTest, TheExtensionOnlyForANameWithoutOne) {
    EXPECT_EQ(SaveAsName("/tmp/data", "csv"), "/tmp/data.csv");
    EXPECT_EQ(SaveAsName("/tmp/data.txt", "csv"), "/tmp/data.txt");  // the user's own
    EXPECT_EQ(SaveAsName("/tmp/config.txt", "jvo.txt"), "/tmp/config.txt");
    EXPECT_EQ(SaveAsName("/tmp/config.JVO.TXT", ".jvo.txt"), "/tmp/config.JVO.TXT");
    EXPECT_EQ(SaveAsName("/tmp/a.d/panel", "jvo.cfg"), "/tmp/a.d/panel.jvo.cfg");
    EXPECT_EQ(SaveAsName("panel.", "jvo.cfg"), "panel.jvo.cfg");
    EXPECT_EQ(SaveAsName("/tmp/.profile", "csv"), "/tmp/.profile.csv");
    EXPECT_EQ(SaveAsName("/tmp/.csv", "csv"), "/tmp/.csv");
    EXPECT_EQ(SaveAsName("/tmp/", "csv"), "/tmp/");
    EXPECT_EQ(SaveAsName("", "csv"), "");
}

}  // namespace
}  // namespace jvo
