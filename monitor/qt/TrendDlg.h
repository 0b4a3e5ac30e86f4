#pragma once
// TrendDlg: a live chart of a breaker's pole currents and of its panel's main-feed phases over
// the session, drawn from the main window's TrendBuffer through the core's TrendView (which lines,
// which ranges, the zoom, the readout, the CSV). It redraws at most twice a second and only when
// a frame was added or the zoom changed, so a fast unit does not load the user-interface thread.
// Drag across the plot to zoom in, right-click or "Zoom Out" to widen, "Live" to follow the
// newest again; the values under the mouse are read out below the chart. "Export PNG..." saves
// the chart as it is shown, "Export CSV..." the values of its lines.
#include <QDialog>
#include <QTimer>
#include <optional>
#include <vector>

#include "config/UnitConfig.h"
#include "monitor/TrendBuffer.h"
#include "monitor/TrendView.h"

class QComboBox;
class QLabel;
class QLineSeries;

namespace jvo::monitor::qt {

class TrendChart;

class TrendDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRedrawMs = 500;

    TrendDlg(const TrendBuffer& trend, const UnitConfig& config, QWidget* parent);

    // Shows breaker `index` (from 0) of `panel` with that panel's phases.
    void ShowBreaker(int panel, int index);
    int Panel() const { return m_Panel; }
    int Breaker() const { return m_Breaker; }
    TrendChart* Chart() const { return m_Chart; }
    QLabel* Readout() const { return m_Readout; }
    const TrendView& View() const { return m_View; }
    // One series per line, in order: the breaker's poles with a CT, then the phases X, Y, Z. Each
    // is the line's first piece (the one in the legend).
    const std::vector<QLineSeries*>& Series() const;
    // Every piece of line k, oldest first: more than one where the line has gaps.
    std::vector<QLineSeries*> Pieces(size_t line) const;
    // Draws now from the buffer (the timer does it when the buffer moved).
    void Redraw();

    // The user's actions, one slot each.
    void OnZoom(int64_t loMs, int64_t hiMs);
    void OnZoomOut();
    void OnLive();
    void OnCursor(std::optional<int64_t> timeMs);
    void OnExportPng();
    void OnExportCsv();

private:
    const TrendBuffer& m_Trend;
    const UnitConfig& m_Config;
    TrendView m_View;
    std::vector<TrendLine> m_Lines;
    int m_Panel = 0;
    int m_Breaker = 0;
    QComboBox* m_Choice = nullptr;
    TrendChart* m_Chart = nullptr;
    QLabel* m_Readout = nullptr;
    QTimer m_Timer;
    uint64_t m_Seen = ~uint64_t{0};
};

}  // namespace jvo::monitor::qt
