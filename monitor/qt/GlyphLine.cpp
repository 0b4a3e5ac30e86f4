#include "monitor/qt/GlyphLine.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <array>

namespace jvo::monitor::qt {

namespace {

constexpr int kFirst = 0x20, kLast = 0x7E, kChars = kLast - kFirst + 1;

bool PlainAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < kFirst || c.unicode() > kLast) return false;
    return true;
}

// How the standard layout puts two characters side by side, per font: at their own advances, or
// moved by the font's kerning for the pair (the second glyph's offset), or otherwise (joined into
// one glyph, or a glyph the font lacks): a text with such a pair is left to the standard layout.
// Learnt once per pair and font, by laying the pair out the standard way.
class PairKerning {
public:
    struct Table {
        std::array<float, kChars * kChars> pairs;
        std::array<float, kChars> overhang;  // how far a last glyph reaches past its advance
    };
    static constexpr float kUnknown = 1e30f, kNotAPair = -1e30f;

    Table& For(const QFont& font) {
        auto it = m_Fonts.find(font.key());
        if (it == m_Fonts.end()) {
            it = m_Fonts.insert(font.key(), Table{});
            it->pairs.fill(kUnknown);
            it->overhang.fill(kUnknown);
        }
        return *it;
    }

    static float Offset(Table& table, const QFont& font, const QRawFont& raw, QChar a, QChar b) {
        float& k =
            table
                .pairs[static_cast<size_t>((a.unicode() - kFirst) * kChars + b.unicode() - kFirst)];
        if (k == kUnknown) k = Learn(font, raw, QString(a) + b);
        return k;
    }

    // The standard layout's line is as wide as its advances, and as far as the last glyph
    // reaches beyond its own.
    static float Overhang(Table& table, const QFont& font, QChar last) {
        float& o = table.overhang[static_cast<size_t>(last.unicode() - kFirst)];
        if (o == kUnknown)
            o = static_cast<float>(std::max(0.0, -QFontMetricsF(font).rightBearing(last)));
        return o;
    }

private:
    static float Learn(const QFont& font, const QRawFont& raw, const QString& pair) {
        QTextLayout layout(pair, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        const QList<quint32> own = raw.glyphIndexesForString(pair);
        if (runs.size() != 1 || runs[0].glyphIndexes() != own) return kNotAPair;
        const QList<QPointF> at = runs[0].positions();
        const QList<QPointF> advances = raw.advancesForGlyphIndexes(own);
        if (at.size() != 2 || advances.size() != 2) return kNotAPair;
        return static_cast<float>(at[1].x() - at[0].x() - advances[0].x());
    }

    QHash<QString, Table> m_Fonts;
};

PairKerning& Kerning() {
    static PairKerning kerning;  // the window thread's only
    return kerning;
}

}  // namespace

bool GlyphLine::Set(const QFont& font, const QString& text) {
    m_Run = QGlyphRun();
    m_Width = m_Advance = 0;
    if (!PlainAscii(text) || text.endsWith(u' ')) return false;
    if (!m_Raw.isValid() || m_Font != font) {
        m_Font = font;
        m_Raw = QRawFont::fromFont(m_Font);
        m_Kerning = &Kerning().For(m_Font);
    }
    if (!m_Raw.isValid()) return false;
    const QList<quint32> glyphs = m_Raw.glyphIndexesForString(text);
    if (glyphs.contains(0)) return false;  // a character the font does not have
    const QList<QPointF> advances = m_Raw.advancesForGlyphIndexes(glyphs);
    if (advances.size() != text.size()) return false;
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    for (qsizetype i = 0; i < advances.size(); ++i) {
        if (i > 0) {
            auto& table = *static_cast<PairKerning::Table*>(m_Kerning);
            const float k = PairKerning::Offset(table, m_Font, m_Raw, text[i - 1], text[i]);
            if (k == PairKerning::kNotAPair) return false;
            m_Width += k;
        }
        positions.push_back(QPointF(m_Width, 0));
        m_Width += advances[i].x();
    }
    m_Advance = m_Width;
    if (!text.isEmpty())
        m_Width += PairKerning::Overhang(*static_cast<PairKerning::Table*>(m_Kerning), m_Font,
                                         text.back());
    m_Run.setRawFont(m_Raw);
    m_Run.setGlyphIndexes(glyphs);
    m_Run.setPositions(positions);
    return true;
}

void GlyphLine::Draw(QPainter* painter, const QPointF& baseline) const {
    if (!m_Run.isEmpty()) painter->drawGlyphRun(baseline, m_Run);
}

}  // namespace jvo::monitor::qt
