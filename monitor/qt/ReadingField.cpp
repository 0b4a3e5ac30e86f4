#include "monitor/qt/ReadingField.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace jvo::monitor::qt {

namespace {

// The line edit's own margins around its text line (QLineEdit keeps them private).
constexpr int kHorizontalMargin = 2;

}  // namespace

ReadingField::ReadingField(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
}

void ReadingField::paintEvent(QPaintEvent* event) {
    if (!PaintPlain()) QLineEdit::paintEvent(event);
}

const QPixmap& ReadingField::Panel(const QStyleOptionFrame& option) {
    const PanelKey key{size(), static_cast<int>(option.state), palette().cacheKey(),
                       devicePixelRatioF()};
    if (key == m_PanelKey && !m_Panel.isNull()) return m_Panel;
    m_PanelKey = key;
    m_Panel = QPixmap(size() * key.ratio);
    m_Panel.setDevicePixelRatio(key.ratio);
    m_Panel.fill(Qt::transparent);
    QPainter p(&m_Panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &p, this);
    return m_Panel;
}

bool ReadingField::PaintPlain() {
    // Only a field that shows its whole text as it is: no selection, cursor, placeholder,
    // margins or side buttons, a plain text.
    if (!isReadOnly() || hasFocus() || hasSelectedText() || echoMode() != Normal ||
        textMargins() != QMargins() || !actions().isEmpty() || layoutDirection() != Qt::LeftToRight)
        return false;
    if (!m_LineSet || text() != m_LineText || font() != m_LineFont) {
        m_LineSet = true;
        m_LineText = text();
        m_LineFont = font();
        m_LinePlain = m_Line.Set(m_LineFont, m_LineText);
    }
    if (!m_LinePlain) return false;

    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect r = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
    const QFontMetrics fm = fontMetrics();
    const int lineHeight = fm.height();
    // Centred as the line edit centres its line, aligned within it as the line edit scrolls its
    // text: the text's width rounded, plus one for the cursor.
    int top = r.y() + (r.height() - lineHeight + 1) / 2;
    const Qt::Alignment a = alignment();
    if (a & Qt::AlignTop) top = r.y() + 1;
    if (a & Qt::AlignBottom) top = r.y() + r.height() - lineHeight - 1;
    const QRect line(r.x() + kHorizontalMargin, top, r.width() - 2 * kHorizontalMargin, lineHeight);
    const int used = qRound(m_Line.Width()) + 1;
    if (used > line.width()) return false;  // the line edit scrolls it
    int x = line.x();
    if (a & Qt::AlignRight)
        x = line.x() + line.width() - used - 1;
    else if (a & Qt::AlignHCenter)
        x = line.x() - (used - line.width()) / 2;

    QPainter p(this);
    p.drawPixmap(0, 0, Panel(panel));
    p.setClipRect(r);
    p.setPen(palette().text().color());
    m_Line.Draw(&p, QPointF(x, top + m_Line.Ascent()));
    ++m_DrawnDirectly;
    return true;
}

}  // namespace jvo::monitor::qt
