#pragma once
// Helpers for driving jvo-config's windows as a user: waiting for a workflow or a dialog, finding
// the visible dialog of a kind, answering message boxes, and picking context-menu entries with
// the keyboard.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

#include "tool/qt/PanelPicture.h"
#include "tool/qt/ToolApp.h"
#include "tool/qt/ToolForm.h"

namespace jvo::tool::qt::test {

constexpr int kWaitMs = 30000;  // generous: a loaded machine, a debug or sanitizer build

// The visible top-level widget of type T (a dialog, a menu), or null.
template <class T>
T* Visible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
    return nullptr;
}

template <class T>
T* WaitVisible() {
    T* found = nullptr;
    (void)QTest::qWaitFor([&] { return (found = Visible<T>()) != nullptr; }, kWaitMs);
    return found;
}

inline bool WaitIdle(ToolApp& app) {
    return QTest::qWaitFor([&] { return !app.Busy(); }, kWaitMs);
}

// Waits for a message box, checks that its text contains `part` and presses `button`.
inline void Answer(const QString& part, QMessageBox::StandardButton button) {
    QMessageBox* box = WaitVisible<QMessageBox>();
    ASSERT_NE(box, nullptr) << "no message box for: " << part.toStdString();
    EXPECT_TRUE(box->text().contains(part)) << box->text().toStdString();
    QTest::mouseClick(box->button(button), Qt::LeftButton);
}

// Picks an entry of the open context menu with the keyboard: `path` holds the entry's position
// in each menu level (0-based).
inline void PickMenu(std::initializer_list<int> path) {
    QMenu* menu = WaitVisible<QMenu>();
    ASSERT_NE(menu, nullptr) << "no context menu";
    int level = 0;
    bool firstActive = false;  // a popped-up menu starts with no entry active
    for (int index : path) {
        for (int k = firstActive ? 1 : 0; k <= index; ++k)
            QTest::keyClick(menu, Qt::Key_Down);
        if (++level < static_cast<int>(path.size())) {
            QTest::keyClick(menu, Qt::Key_Right);
            QMenu* sub = nullptr;
            (void)QTest::qWaitFor(
                [&] {
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (auto* m = qobject_cast<QMenu*>(w); m && m != menu && m->isVisible())
                            sub = m;
                    return sub != nullptr;
                },
                kWaitMs);
            ASSERT_NE(sub, nullptr) << "no sub-menu";
            menu = sub;
            firstActive = true;  // opened from the keyboard: its first entry is active
        }
    }
    QTest::keyClick(menu, Qt::Key_Return);
}

inline void Click(ToolApp& app, int id) {
    QAbstractButton* b = app.Window().Form()->Button(id);
    ASSERT_NE(b, nullptr) << id;
    // On the indicator for radio buttons: a stretched radio button only takes clicks on its
    // indicator and its text.
    const bool radio = b->inherits("QRadioButton");
    QTest::mouseClick(b, Qt::LeftButton, {},
                      radio ? QPoint(b->height() / 2, b->height() / 2) : b->rect().center());
}

inline QString FieldText(ToolApp& app, int id) {
    return app.Window().Form()->Edit(id)->text();
}

}  // namespace jvo::tool::qt::test
