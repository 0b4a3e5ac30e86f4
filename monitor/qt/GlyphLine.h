#pragma once
// GlyphLine: a short line of plain text (printable ASCII: digits, signs, units, names) laid out as
// one run of glyphs straight from the font's tables, without shaping. The readings change about
// once a second in every cell and field; laying each text out and shaping it anew for every paint
// was most of the window thread's time. The font's kerning of each pair of characters is learnt
// once from the standard layout. Set() refuses what it could not draw as the standard layout
// would (another character, a glyph the font lacks or joins with the next, a trailing space), and
// the caller then draws the text the standard way.
#include <QFont>
#include <QGlyphRun>
#include <QRawFont>
#include <QString>

class QPainter;
class QPointF;

namespace jvo::monitor::qt {

class GlyphLine {
public:
    // Lays `text` out in `font`; false (and nothing to draw) when it cannot.
    bool Set(const QFont& font, const QString& text);
    // The standard layout's natural width: the advances, and how far the last glyph reaches
    // beyond its own.
    qreal Width() const { return m_Width; }
    // The advances alone (where a next character would start).
    qreal Advance() const { return m_Advance; }
    qreal Ascent() const { return m_Raw.ascent(); }
    qreal Descent() const { return m_Raw.descent(); }
    // Draws the line with its baseline starting at `baseline`, in the painter's pen.
    void Draw(QPainter* painter, const QPointF& baseline) const;

private:
    QFont m_Font;
    QRawFont m_Raw;             // of m_Font, made again only when the font changes
    void* m_Kerning = nullptr;  // m_Font's pairs, as learnt (GlyphLine.cpp)
    QGlyphRun m_Run;
    qreal m_Width = 0;
    qreal m_Advance = 0;
};

}  // namespace jvo::monitor::qt
