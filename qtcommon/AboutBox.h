#pragma once
// The about box of the window programs: the program's icon, its name and version, optionally in
// a group box with a form of further values below it (the monitor's unit information), then
// further lines (the log file's path, for instance) and an OK button.
#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <vector>

namespace jvo::qt {

struct AboutRow {
    QString label;  // "Build No:"
    QString value;
    QString name;  // the value label's object name
};

struct AboutInfo {
    QString title;        // window title, "About ..."
    QIcon icon;           // the program's icon
    QString heading;      // shown bold above the version line when set
    QString versionLine;  // the version text (bold when there is no heading)
    QString appGroup;     // when set, icon, heading and version sit in a group box of this title
    QString rowsGroup;    // the title of the group box holding `rows`
    std::vector<AboutRow> rows;
    QStringList lines;  // further lines, shown selectable, each on one line (never broken)
};

class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(const AboutInfo& info, QWidget* parent);
};

}  // namespace jvo::qt
