// The main window's reading fields look exactly as line edits with the same text and colours,
// whichever way they are aligned and coloured, and take the line edit's own drawing while the
// user selects in them.
#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>

#include "monitor/qt/FieldColours.h"
#include "monitor/qt/ReadingField.h"

namespace jvo::test {
namespace {

using jvo::ColourRole;
using monitor::qt::ApplyRole;
using monitor::qt::ReadingField;

int Differing(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return a.width() * a.height() + 1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) ++n;
    return n;
}

TEST(ReadingField, LooksAsALineEdit) {
    struct Case {
        const char* text;
        Qt::Alignment align;
        ColourRole role;
        bool stale;
    };
    const Case cases[] = {
        {"1234.5", Qt::AlignRight, ColourRole::Normal, false},
        {"-0.98", Qt::AlignRight, ColourRole::Alarm, false},
        {"12.0 %", Qt::AlignRight, ColourRole::Warning, true},
        {"230.0 VA", Qt::AlignRight, ColourRole::Normal, false},
        {"Panel A: MAIN-1", Qt::AlignLeft, ColourRole::Plain, false},
        {"2026-12-10 14:10:17", Qt::AlignCenter, ColourRole::Normal, false},
        {"", Qt::AlignRight, ColourRole::Normal, false},
        {"\u00b5A 3", Qt::AlignRight, ColourRole::Normal, false},  // not plain: a line edit's
        {"a text far too long to fit in the field", Qt::AlignRight, ColourRole::Normal, false},
    };
    int direct = 0;
    for (const Case& c : cases) {
        QLineEdit expected;
        ReadingField drawn;
        for (QLineEdit* f : {&expected, static_cast<QLineEdit*>(&drawn)}) {
            f->setReadOnly(true);
            f->setAlignment(c.align);
            f->resize(150, 26);
            f->setText(QString::fromUtf8(c.text));
            ApplyRole(f, c.role, c.stale);
        }
        const QImage want = expected.grab().toImage();
        const int before = drawn.PaintsDrawnDirectly();
        const QImage got = drawn.grab().toImage();
        direct += drawn.PaintsDrawnDirectly() - before;
        EXPECT_EQ(Differing(want, got), 0) << c.text;
        // A new text in the same field: the frame kept from before, the text new.
        expected.setText(QStringLiteral("77.7"));
        drawn.setText(QStringLiteral("77.7"));
        EXPECT_EQ(Differing(expected.grab().toImage(), drawn.grab().toImage()), 0) << c.text;
    }
    EXPECT_GE(direct, 5);  // the plain texts that fit (a pair the font kerns is not plain)

    // Selecting shows the selection as a line edit does.
    QLineEdit expected;
    ReadingField drawn;
    for (QLineEdit* f : {&expected, static_cast<QLineEdit*>(&drawn)}) {
        f->setReadOnly(true);
        f->resize(150, 26);
        f->setText(QStringLiteral("230.1"));
        f->setSelection(1, 3);
    }
    const int before = drawn.PaintsDrawnDirectly();
    EXPECT_EQ(Differing(expected.grab().toImage(), drawn.grab().toImage()), 0);
    EXPECT_EQ(drawn.PaintsDrawnDirectly(), before);
}

}  // namespace
}  // namespace jvo::test
