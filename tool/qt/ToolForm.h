#pragma once
// The controls of the configuration tool's main window, built in one of the two window layouts
// and addressed by their identifiers (tool/ToolUi.h). Sizes are in dialog units converted through
// the font's metrics (a horizontal unit is a quarter of the average character width, a vertical
// one an eighth of the line height), so the window scales with the desktop's font.
#include <QWidget>
#include <map>

#include "tool/WindowLayout.h"

class QAbstractButton;
class QLineEdit;

namespace jvo::tool::qt {

class PanelPicture;

struct DialogUnits {
    qreal x = 1;
    qreal y = 1;
    explicit DialogUnits(const QFont& font);
    int X(int units) const { return qRound(units * x); }
    int Y(int units) const { return qRound(units * y); }
};

class ToolForm final : public QWidget {
    Q_OBJECT
public:
    ToolForm(WindowLayout layout, QWidget* parent);

    PanelPicture* Picture() const { return m_Picture; }
    // The control with identifier `id`, or null.
    QWidget* Control(int id) const;
    QLineEdit* Edit(int id) const;
    QAbstractButton* Button(int id) const;
    // The identifiers of the edits whose values are transferred as fields.
    const std::map<int, QWidget*>& Controls() const { return m_Controls; }

signals:
    // A button or radio button was clicked (radio buttons report clicks, not toggles: the core
    // sets their checks itself).
    void Command(int id);

private:
    QWidget* BuildSelectors();
    QWidget* BuildUnitGroup();
    QWidget* BuildPanelGroup();
    QWidget* BuildBreakerGroup();
    QWidget* BuildBottom();
    QLineEdit* AddEdit(int id, int widthUnits);
    QAbstractButton* AddButton(int id, const QString& caption);
    QWidget* EditButtons(int edit, int cancel, int apply);

    DialogUnits m_Du;
    PanelPicture* m_Picture = nullptr;
    std::map<int, QWidget*> m_Controls;
};

}  // namespace jvo::tool::qt
