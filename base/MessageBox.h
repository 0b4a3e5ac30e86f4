#pragma once
// What a program's core asks of a message box, whichever window or console shows it: the buttons,
// the icon and the answer. Both user-interface ports (ToolUi, MonitorUi) speak these.
namespace jvo {

enum class MsgButtons { Ok, YesNo, RetryCancel };
// Stop and Error are one icon, as they are on Windows (the tool names it Stop, the monitor Error).
enum class MsgIcon { None, Stop, Error = Stop, Exclamation, Information };
// The button pressed; also names the default button of a message.
enum class MsgResult { Ok, Cancel, Yes, No, Retry };

// The answer of a box closed without a button: its "no" button, else Ok.
constexpr MsgResult ClosedAnswer(MsgButtons buttons) {
    return buttons == MsgButtons::YesNo         ? MsgResult::No
           : buttons == MsgButtons::RetryCancel ? MsgResult::Cancel
                                                : MsgResult::Ok;
}

}  // namespace jvo
