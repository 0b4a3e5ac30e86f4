#pragma once
// The about box pattern of the window programs: the program's icon, its name and version line,
// further lines (the log file's path, for instance) and an OK button.
#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringList>

namespace jvo::qt {

struct AboutInfo {
    QString title;        // window title, "About ..."
    QIcon icon;           // the program's icon
    QString versionLine;  // the version text
    QStringList lines;    // further lines, shown selectable, each on one line (never broken)
};

class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(const AboutInfo& info, QWidget* parent);
};

}  // namespace jvo::qt
