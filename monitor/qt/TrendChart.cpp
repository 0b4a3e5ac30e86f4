// The trend window's chart.
#include "monitor/qt/TrendChart.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>

namespace jvo::monitor::qt {

namespace {

// Six colours told apart also by most colour-blind eyes (Okabe and Ito), in a darker set for a
// light plot and a lighter set for a dark one: the poles first, then the phases.
constexpr QRgb kOnLight[6] = {0x0072B2, 0xE69F00, 0x009E73, 0xCC79A7, 0x56B4E9, 0x8F7A00};
constexpr QRgb kOnDark[6] = {0x4DA3E0, 0xF5B942, 0x2FD3A4, 0xE59BC7, 0x8FD0F5, 0xF0E442};
constexpr QRgb kAlarmOnLight = 0xD62728;
constexpr QRgb kAlarmOnDark = 0xFF6B6B;

}  // namespace

TrendChart::TrendChart(QWidget* parent)
    : QChartView(new QChart(), parent),
      m_Chart(chart()),
      m_Time(new QDateTimeAxis(m_Chart)),
      m_Amps(new QValueAxis(m_Chart)),
      m_PanelAmps(new QValueAxis(m_Chart)) {
    setObjectName(QStringLiteral("trendChart"));
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::HorizontalRubberBand);
    setMouseTracking(true);
    m_Chart->legend()->setAlignment(Qt::AlignBottom);
    m_Chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    m_Chart->setMargins(QMargins(4, 4, 4, 4));
    m_Time->setFormat(QStringLiteral("HH:mm:ss"));
    m_Time->setTitleText(tr("Time"));
    m_Amps->setTitleText(tr("Breaker (A)"));
    m_PanelAmps->setTitleText(tr("Panel phases (A)"));
    m_Chart->addAxis(m_Time, Qt::AlignBottom);
    m_Chart->addAxis(m_Amps, Qt::AlignLeft);
    m_Chart->addAxis(m_PanelAmps, Qt::AlignRight);
    m_Threshold = NewSeries(m_Amps, true);
    m_Cursor = NewSeries(m_Amps, false);
    ApplyPalette();
}

QLineSeries* TrendChart::NewSeries(QValueAxis* axis, bool inLegend) {
    auto* s = new QLineSeries(m_Chart);
    m_Chart->addSeries(s);
    s->attachAxis(m_Time);
    s->attachAxis(axis);
    for (QLegendMarker* marker : m_Chart->legend()->markers(s))
        marker->setVisible(inLegend);
    return s;
}

QPen TrendChart::PenOf(size_t k, bool panel) const {
    const bool dark = palette().color(QPalette::Base).lightness() < 128;
    const size_t i = k % 6;
    QPen pen(QColor::fromRgb(dark ? kOnDark[i] : kOnLight[i]), panel ? 1.5 : 2.0);
    pen.setStyle(panel ? Qt::DashLine : Qt::SolidLine);
    return pen;
}

void TrendChart::Rebuild(const std::vector<TrendLine>& lines) {
    for (QLineSeries* s : m_Series)
        m_Chart->removeSeries(s), delete s;
    for (auto& more : m_More)
        for (QLineSeries* s : more)
            m_Chart->removeSeries(s), delete s;
    m_Series.clear();
    m_More.assign(lines.size(), {});
    m_Names.clear();
    m_Panel.clear();
    for (size_t k = 0; k < lines.size(); ++k) {
        QLineSeries* s = NewSeries(lines[k].m_Panel ? m_PanelAmps : m_Amps, true);
        s->setName(QString::fromStdString(lines[k].m_Name));
        s->setPen(PenOf(k, lines[k].m_Panel));
        m_Series.push_back(s);
        m_Names.push_back(lines[k].m_Name);
        m_Panel.push_back(lines[k].m_Panel);
    }
}

void TrendChart::Show(const std::vector<TrendLine>& lines, std::optional<double> alarmAmps,
                      const TrendRanges& ranges) {
    bool same = lines.size() == m_Names.size();
    for (size_t k = 0; same && k < lines.size(); ++k)
        same = lines[k].m_Name == m_Names[k] && lines[k].m_Panel == m_Panel[k];
    if (!same) Rebuild(lines);
    for (size_t k = 0; k < lines.size(); ++k) {
        std::vector<QList<QPointF>> pieces(1);
        for (const TrendPoint& p : lines[k].m_Points) {
            if (p.m_Break && !pieces.back().isEmpty()) pieces.emplace_back();
            pieces.back().append(QPointF(static_cast<double>(p.m_TimeMs), p.m_Amps));
        }
        std::vector<QLineSeries*>& more = m_More[k];
        while (more.size() + 1 > pieces.size())
            m_Chart->removeSeries(more.back()), delete more.back(), more.pop_back();
        while (more.size() + 1 < pieces.size()) {
            more.push_back(NewSeries(lines[k].m_Panel ? m_PanelAmps : m_Amps, false));
            more.back()->setPen(m_Series[k]->pen());  // the same line, only broken
        }
        m_Series[k]->replace(pieces[0]);
        for (size_t i = 1; i < pieces.size(); ++i)
            more[i - 1]->replace(pieces[i]);
    }
    m_Ranges = ranges;
    m_Time->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ranges.m_Time.lo)),
                     QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ranges.m_Time.hi)));
    m_Time->setTickCount(ranges.m_Time.ticks);
    for (auto [axis, scale] : {std::pair{m_Amps, ranges.m_Left}, {m_PanelAmps, ranges.m_Right}}) {
        axis->setRange(scale.lo, scale.hi);
        axis->setTickCount(scale.ticks);
        axis->setLabelFormat(QStringLiteral("%.%1f").arg(scale.decimals));
    }
    m_Threshold->clear();
    m_Threshold->setVisible(alarmAmps.has_value());
    if (alarmAmps) {
        m_Threshold->setName(tr("Alarm %1 A").arg(*alarmAmps, 0, 'f', 1));
        m_Threshold->append(ranges.m_Time.lo, *alarmAmps);
        m_Threshold->append(ranges.m_Time.hi, *alarmAmps);
    }
}

std::vector<QLineSeries*> TrendChart::Pieces(size_t line) const {
    if (line >= m_Series.size()) return {};
    std::vector<QLineSeries*> pieces{m_Series[line]};
    pieces.insert(pieces.end(), m_More[line].begin(), m_More[line].end());
    return pieces;
}

void TrendChart::SetCursor(std::optional<int64_t> timeMs) {
    m_Cursor->clear();
    if (!timeMs) return;
    m_Cursor->append(static_cast<double>(*timeMs), m_Ranges.m_Left.lo);
    m_Cursor->append(static_cast<double>(*timeMs), m_Ranges.m_Left.hi);
}

std::optional<int64_t> TrendChart::TimeAt(QPointF pos) const {
    if (!m_Chart->plotArea().contains(m_Chart->mapFromScene(mapToScene(pos.toPoint()))))
        return std::nullopt;
    const QPointF v =
        m_Chart->mapToValue(m_Chart->mapFromScene(mapToScene(pos.toPoint())), m_Threshold);
    return static_cast<int64_t>(v.x());
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    emit CursorMoved(TimeAt(event->position()));
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {  // not the view's own zoom out: ours
        event->accept();
        emit ZoomOutWanted();
        return;
    }
    QChartView::mouseReleaseEvent(event);  // the rubber band zooms the axes
    const QDateTime lo = m_Time->min(), hi = m_Time->max();
    if (lo.toMSecsSinceEpoch() != static_cast<qint64>(m_Ranges.m_Time.lo) ||
        hi.toMSecsSinceEpoch() != static_cast<qint64>(m_Ranges.m_Time.hi))
        emit ZoomWanted(lo.toMSecsSinceEpoch(), hi.toMSecsSinceEpoch());
}

void TrendChart::leaveEvent(QEvent* event) {
    QChartView::leaveEvent(event);
    emit CursorMoved(std::nullopt);
}

void TrendChart::changeEvent(QEvent* event) {
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) ApplyPalette();
}

void TrendChart::ApplyPalette() {
    const QPalette p = palette();
    const bool dark = p.color(QPalette::Base).lightness() < 128;
    m_Chart->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    m_Chart->setBackgroundBrush(p.window());
    m_Chart->setPlotAreaBackgroundBrush(p.base());
    m_Chart->setPlotAreaBackgroundVisible(true);
    m_Chart->legend()->setLabelColor(p.color(QPalette::WindowText));
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(m_Time), static_cast<QAbstractAxis*>(m_Amps),
          static_cast<QAbstractAxis*>(m_PanelAmps)}) {
        axis->setLabelsBrush(p.text());
        axis->setTitleBrush(p.windowText());
        axis->setGridLineColor(p.color(QPalette::Mid));
        axis->setGridLineVisible(axis != m_PanelAmps);
        axis->setLinePenColor(p.color(QPalette::WindowText));
    }
    QPen alarm(QColor::fromRgb(dark ? kAlarmOnDark : kAlarmOnLight), 1.5, Qt::DashDotLine);
    m_Threshold->setPen(alarm);
    m_Cursor->setPen(QPen(p.color(QPalette::WindowText), 1, Qt::DotLine));
    for (size_t k = 0; k < m_Series.size(); ++k)  // the theme recoloured them
        for (QLineSeries* s : Pieces(k))
            s->setPen(PenOf(k, m_Panel[k]));
    setBackgroundBrush(p.window());
}

}  // namespace jvo::monitor::qt
