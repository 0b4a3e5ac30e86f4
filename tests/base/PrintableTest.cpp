// Text made safe for a terminal: every control character escaped, every other character kept.
#include "base/Printable.h"

#include <gtest/gtest.h>

namespace jvo {
namespace {

TEST(PrintableTest, ControlsAreEscapedAndCharactersKept) {
    EXPECT_EQ(Printable("a\x1b]0;t\x07\tb\r\n\x7f"), "a\\x1b]0;t\\x07\\x09b\\x0d\\x0a\\x7f");
    // C1 controls, encoded in UTF-8 and as single bytes (CSI is 0x9B).
    EXPECT_EQ(Printable("\xc2\x9b"
                        "2J|\x9b"
                        "2J|\xc2\x85"),
              "\\xc2\\x9b2J|\\x9b2J|\\xc2\\x85");
    // UTF-8 characters (non-breaking space, e-acute, euro, a clef) and Latin-1 letters stay; a
    // cut-off UTF-8 character is bytes of some other character set, 0x82 a C1 control there.
    const std::string kept = "\xc2\xa0\xc3\xa9\xe2\x82\xac\xf0\x9d\x84\x9e Caf\xe9 ";
    EXPECT_EQ(Printable(kept), kept);
    EXPECT_EQ(Printable("\xe2\x82"), "\xe2\\x82");
    // Overlong forms are no characters: the C1 byte among them is escaped.
    EXPECT_EQ(Printable("\xc1\x9b"), "\xc1\\x9b");
    EXPECT_EQ(PrintableLines("one\ntwo\r\x1b"), "one\ntwo\\x0d\\x1b");
}

}  // namespace
}  // namespace jvo
