#pragma once
// TrendChart: the trend window's chart. It draws the lines the core's TrendView gives, each in a
// colour of its own (the breaker's poles solid on the left axis, the panel's phases dashed on the
// right), the alarm threshold as a dash-dotted line, the axes over the core's round ticks, a
// legend that shows each line's pen, and a cursor line. A line with gaps is drawn in pieces, one
// series each with the line's pen, so that nothing is drawn across a gap. Dragging across the
// plot asks for a zoom to that time, the right button for a zoom out; the mouse's time is told
// for the readout. Colours follow the palette.
#include <QChartView>
#include <optional>
#include <vector>

#include "monitor/TrendView.h"

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace jvo::monitor::qt {

class TrendChart final : public QChartView {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent);

    void Show(const std::vector<TrendLine>& lines, std::optional<double> alarmAmps,
              const TrendRanges& ranges);
    // The first piece of each line (the one in the legend), in the order of the lines.
    const std::vector<QLineSeries*>& Series() const { return m_Series; }
    // Every piece of line k, oldest first: more than one where the line has gaps.
    std::vector<QLineSeries*> Pieces(size_t line) const;
    QLineSeries* Threshold() const { return m_Threshold; }
    QValueAxis* LeftAxis() const { return m_Amps; }
    QValueAxis* RightAxis() const { return m_PanelAmps; }
    QDateTimeAxis* TimeAxis() const { return m_Time; }
    // The cursor line at `timeMs`, or none.
    void SetCursor(std::optional<int64_t> timeMs);
    // Draws with the palette's colours again (and the lines' colours for its lightness).
    void ApplyPalette();

signals:
    void ZoomWanted(int64_t loMs, int64_t hiMs);
    void ZoomOutWanted();
    void CursorMoved(std::optional<int64_t> timeMs);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QLineSeries* NewSeries(QValueAxis* axis, bool inLegend);
    void Rebuild(const std::vector<TrendLine>& lines);
    QPen PenOf(size_t k, bool panel) const;
    std::optional<int64_t> TimeAt(QPointF pos) const;

    QChart* m_Chart;
    QDateTimeAxis* m_Time;
    QValueAxis* m_Amps;       // the breaker's poles, on the left
    QValueAxis* m_PanelAmps;  // the panel's phases (far larger), on the right
    QLineSeries* m_Threshold = nullptr;
    QLineSeries* m_Cursor = nullptr;
    std::vector<QLineSeries*> m_Series;
    std::vector<std::vector<QLineSeries*>> m_More;  // the further pieces of each line
    std::vector<std::string> m_Names;
    std::vector<bool> m_Panel;
    TrendRanges m_Ranges;
};

}  // namespace jvo::monitor::qt
