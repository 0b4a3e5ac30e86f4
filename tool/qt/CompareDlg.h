#pragma once
// The "Compare with Unit" view: a heading and one row per difference between the unit's
// configuration and the one to be installed, with "Install to Unit" and "Close". It only shows
// what the core found; accepting it asks the core to install.
#include <QDialog>
#include <QStringList>

namespace jvo::tool::qt {

class CompareDlg final : public QDialog {
    Q_OBJECT
public:
    CompareDlg(const QString& title, const QString& heading, const QStringList& lines,
               bool offerInstall, QWidget* parent);
};

}  // namespace jvo::tool::qt
