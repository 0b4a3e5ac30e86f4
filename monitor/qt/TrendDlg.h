#pragma once
// TrendDlg: a live chart of a breaker's pole currents and of its panel's main-feed phases over
// the session, drawn from the main window's TrendBuffer. It redraws at most twice a second and
// only when a frame was added, so a fast unit does not load the user-interface thread. Its
// colours follow the application palette. A line with gaps (stale readings) is drawn in pieces,
// one series each with the line's pen, so that nothing is drawn across a gap.
#include <QDialog>
#include <QTimer>
#include <vector>

#include "config/UnitConfig.h"
#include "monitor/TrendBuffer.h"

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace jvo::monitor::qt {

class TrendDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRedrawMs = 500;

    TrendDlg(const TrendBuffer& trend, const UnitConfig& config, QWidget* parent);

    // Shows breaker `index` (from 0) of `panel` with that panel's phases.
    void ShowBreaker(int panel, int index);
    int Panel() const { return m_Panel; }
    int Breaker() const { return m_Breaker; }
    // One series per line, in order: the breaker's poles with a CT, then the phases X, Y, Z. Each
    // is the line's first piece (the one in the legend).
    const std::vector<QLineSeries*>& Series() const { return m_Series; }
    // Every piece of line k, oldest first: more than one where the line has gaps.
    std::vector<QLineSeries*> Pieces(size_t line) const;
    // Draws now from the buffer (the timer does it when the buffer moved).
    void Redraw();

protected:
    void changeEvent(QEvent* event) override;

private:
    void Rebuild();
    void ApplyPalette();
    // Draws `points` as line k, split at its breaks; widens lo/hi (time) and top (amperes).
    void DrawLine(size_t k, const std::vector<TrendPoint>& points, double& lo, double& hi,
                  double& top);

    const TrendBuffer& m_Trend;
    const UnitConfig& m_Config;
    int m_Panel = 0;
    int m_Breaker = 0;
    QComboBox* m_Choice = nullptr;
    QChart* m_Chart = nullptr;
    QChartView* m_View = nullptr;
    QDateTimeAxis* m_Time = nullptr;
    QValueAxis* m_Amps = nullptr;       // the breaker's poles, on the left
    QValueAxis* m_PanelAmps = nullptr;  // the panel's phases (far larger), on the right
    std::vector<QLineSeries*> m_Series;
    std::vector<std::vector<QLineSeries*>> m_More;  // the further pieces of each line
    std::vector<int> m_Poles;                       // the pole (0..2) of each breaker series
    QTimer m_Timer;
    uint64_t m_Seen = ~uint64_t{0};
};

}  // namespace jvo::monitor::qt
