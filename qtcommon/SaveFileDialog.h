#pragma once
// The save dialog of both window programs. The name written is the one SaveAsName
// (base/SaveName.h) makes of the name chosen, and replacing an existing file is asked about on
// that name, never on the name before the extension was added; No opens the dialog again. It
// starts in the folder a file was last saved to (qtcommon/LastFolder.h).
#include <QString>
#include <functional>

class QWidget;

namespace jvo::qt {

// What a save dialog is asked for: its filter and default extension, the name to offer, and
// whether an existing file is asked about before it is replaced.
struct SaveFileRequest {
    QString objectName;      // of the dialog (tests find it by this)
    QString filter;          // in the toolkit's form: "JVO Readings Dump (*.csv)"
    QString ext;             // the default extension: "csv", "jvo.cfg"
    QString proposed;        // the name offered; may be empty
    QString title;           // of the question whether to replace a file
    bool askReplace = true;  // false for a file that is appended to, not replaced
};

// Opens the dialog without a nested loop; `chosen` is called once, with the absolute path of the
// file to write, or with an empty string when the user cancelled.
void ChooseSaveFile(QWidget* parent, const SaveFileRequest& request,
                    std::function<void(const QString&)> chosen);

}  // namespace jvo::qt
