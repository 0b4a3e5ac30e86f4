#pragma once
// ReadingField: a read-only line edit for one reading of the main window. The readings change
// about once a second in every field, and a line edit lays its text out, shapes it, measures it
// and draws its rounded frame (antialiased) at every paint. This field keeps the frame as the
// style drew it last, for as long as its size, state and colours stay, and draws a plain text as
// one run of glyphs where the line edit would put it. While the user selects or edits, and for a
// text that is not plain, it paints as a line edit.
#include <QLineEdit>
#include <QPixmap>

#include "monitor/qt/GlyphLine.h"

namespace jvo::monitor::qt {

class ReadingField final : public QLineEdit {
public:
    explicit ReadingField(QWidget* parent = nullptr);

    // How many paints were drawn here rather than by the line edit.
    int PaintsDrawnDirectly() const { return m_DrawnDirectly; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool PaintPlain();
    const QPixmap& Panel(const QStyleOptionFrame& option);

    GlyphLine m_Line;
    QString m_LineText;
    QFont m_LineFont;
    bool m_LineSet = false;  // m_LinePlain says whether m_LineText in m_LineFont is plain
    bool m_LinePlain = false;
    QPixmap m_Panel;
    struct PanelKey {
        QSize size;
        int state = 0;
        qint64 palette = 0;
        qreal ratio = 0;
        bool operator==(const PanelKey&) const = default;
    } m_PanelKey;
    int m_DrawnDirectly = 0;
};

}  // namespace jvo::monitor::qt
