// Field colours by role.
#include "monitor/qt/FieldColours.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include "qtcommon/IconDraw.h"

namespace jvo::monitor::qt {

namespace {
const char* const kRoleProperty = "jvoColourRole";
constexpr int kStaleBit = 0x100;
}  // namespace

QColor StaleText(const QPalette& p) {
    const QColor text = p.color(QPalette::Disabled, QPalette::Text);
    if (text != p.color(QPalette::Active, QPalette::Text)) return text;
    return jvo::qt::Mix(text, p.color(QPalette::Active, QPalette::Base), 0.5);
}

QColor StaleBase(const QPalette& p) {
    return p.color(QPalette::Disabled, QPalette::Base);
}

ColourRole AppliedRole(const QWidget* field) {
    const QVariant v = field->property(kRoleProperty);
    return v.isValid() ? static_cast<ColourRole>(v.toInt() & ~kStaleBit) : ColourRole::Normal;
}

void ApplyRole(QWidget* field, ColourRole role, bool stale, bool force) {
    const int applied = static_cast<int>(role) | (stale ? kStaleBit : 0);
    const QVariant old = field->property(kRoleProperty);
    if (!force && old.isValid() && old.toInt() == applied) return;
    field->setProperty(kRoleProperty, applied);
    // Only the colours of the role are set; the rest follows the window's (light or dark) palette.
    QPalette p;
    if (stale) {
        const QPalette app = QApplication::palette();
        p.setColor(QPalette::Base, StaleBase(app));
        p.setColor(QPalette::Text, StaleText(app));
        field->setPalette(p);
        return;
    }
    switch (role) {
        case ColourRole::Alarm:
            p.setColor(QPalette::Base, kAlarmBackground);
            p.setColor(QPalette::Text, Qt::white);
            break;
        case ColourRole::Warning:
            p.setColor(QPalette::Base, kWarningBackground);
            p.setColor(QPalette::Text, Qt::black);
            break;
        case ColourRole::Plain:
            p.setColor(QPalette::Base, Qt::white);
            p.setColor(QPalette::Text, Qt::black);
            break;
        case ColourRole::Normal:
            break;
    }
    field->setPalette(p);
}

}  // namespace jvo::monitor::qt
