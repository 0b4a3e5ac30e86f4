// Field colours by role.
#include "monitor/qt/FieldColours.h"

#include <QPalette>
#include <QWidget>

namespace jvo::monitor::qt {

namespace {
const char* const kRoleProperty = "jvoColourRole";
}

ColourRole AppliedRole(const QWidget* field) {
    const QVariant v = field->property(kRoleProperty);
    return v.isValid() ? static_cast<ColourRole>(v.toInt()) : ColourRole::Normal;
}

void ApplyRole(QWidget* field, ColourRole role) {
    if (AppliedRole(field) == role && field->property(kRoleProperty).isValid()) return;
    field->setProperty(kRoleProperty, static_cast<int>(role));
    // Only the colours of the role are set; the rest follows the window's (light or dark) palette.
    QPalette p;
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
