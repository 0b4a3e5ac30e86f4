#pragma once
// The message-box vocabulary of the cores (base/MessageBox.h) in Qt's terms, for both programs.
#include <QMessageBox>

#include "base/MessageBox.h"

namespace jvo::qt {

QMessageBox::Icon ToQt(MsgIcon icon);
QMessageBox::StandardButton ToQt(MsgResult result);
QMessageBox::StandardButtons ToQt(MsgButtons buttons);
// The answer a box's pressed button gives; a box closed without one answers ClosedAnswer().
MsgResult FromQt(int button, MsgButtons buttons);

}  // namespace jvo::qt
