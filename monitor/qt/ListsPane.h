#pragma once
// The "Breaker/Subfeed Status" group of the main window: the breaker list and the subfeed list,
// one shown at a time, each in table or icon view. It fills and refreshes their rows from the
// core's display model for the current panel; a double-click (or Enter) on a row is reported.
#include <QGroupBox>

#include "monitor/DisplayModel.h"

class QStackedWidget;

namespace jvo::monitor::qt {

class ReadingsList;

class ListsPane final : public QGroupBox {
    Q_OBJECT
public:
    explicit ListsPane(QWidget* parent);

    ReadingsList* Breakers() const { return m_Breakers; }
    ReadingsList* Subfeeds() const { return m_Subfeeds; }

    // Every row of the panel anew (connect, panel switch).
    void Fill(const UnitConfig& config, const ReadingsSnapshot& s, int panel, AlarmMode mode);
    // One row; nothing is repainted when its texts and icon are unchanged.
    void RefreshBreaker(const UnitConfig& config, const ReadingsSnapshot& s, int panel, int row,
                        AlarmMode mode);
    void RefreshSubfeed(const UnitConfig& config, const ReadingsSnapshot& s, int panel, int row,
                        AlarmMode mode);
    void RefreshAll(const UnitConfig& config, const ReadingsSnapshot& s, int panel, AlarmMode mode);
    // The display timer: the icons of the first `used` breaker rows from the stored readings.
    void RefreshBreakerIcons(const PanelReadings& p, int used, AlarmMode mode);
    // Greys both lists' texts and icons while the readings are stale.
    void SetStale(bool stale);

    // Shows one list; the group is titled after it once `titled` (connected).
    void ShowSubfeeds(bool subfeeds, bool titled);
    void SetIconView(bool icons);

signals:
    void BreakerActivated(int row);
    void SubfeedActivated(int row);

private:
    QStackedWidget* m_Stack;
    ReadingsList* m_Breakers;
    ReadingsList* m_Subfeeds;
};

}  // namespace jvo::monitor::qt
