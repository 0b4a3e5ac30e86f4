#include "qtcommon/MessageBoxQt.h"

namespace jvo::qt {

QMessageBox::Icon ToQt(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Stop:
            return QMessageBox::Critical;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ToQt(MsgResult result) {
    switch (result) {
        case MsgResult::Ok:
            return QMessageBox::Ok;
        case MsgResult::Cancel:
            return QMessageBox::Cancel;
        case MsgResult::Yes:
            return QMessageBox::Yes;
        case MsgResult::No:
            return QMessageBox::No;
        case MsgResult::Retry:
            return QMessageBox::Retry;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons ToQt(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case MsgButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

MsgResult FromQt(int button, MsgButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return MsgResult::Ok;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        case QMessageBox::Retry:
            return MsgResult::Retry;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        default:
            return ClosedAnswer(buttons);
    }
}

}  // namespace jvo::qt
