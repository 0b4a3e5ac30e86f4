#pragma once
// The top of the main window: the "Panel Status", "Real-Time Clock" and "Main Breaker Status"
// groups with their fields, column heads and buttons. It shows a MainBreakerView as it is; a click
// on the panel name is reported, the buttons are for the window to connect. While the readings are
// stale, the panel name, the clock and every reading field are greyed, alarm colours included.
#include <QWidget>
#include <array>
#include <vector>

#include "monitor/DisplayModel.h"

class QLineEdit;
class QPushButton;

namespace jvo::monitor::qt {

class MainArea final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 11;  // I-RMS ... PF

    explicit MainArea(QWidget* parent);

    void Show(const MainBreakerView& view);
    // Before connect: every field empty and uncoloured.
    void Clear();
    void SetUnit(const QString& text);
    void SetClock(const QString& text);
    void SetStale(bool stale);

    QPushButton* SwitchButton() const { return m_Switch; }
    QPushButton* SetClockButton() const { return m_SetClock; }
    QPushButton* ResetKwhButton() const { return m_ResetKwh; }
    QLineEdit* PanelName() const { return m_PanelName; }
    QLineEdit* PhaseField(int phase, int column) const { return m_Phase[phase][column]; }
    QLineEdit* Ground() const { return m_Ground; }
    QLineEdit* Neutral() const { return m_Neutral; }
    QLineEdit* Energy() const { return m_Energy; }
    QLineEdit* Clock() const { return m_Clock; }
    QLineEdit* Unit() const { return m_Unit; }

signals:
    void PanelNameClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The fields that show what the unit reported (the panel name and the clock included).
    std::vector<QLineEdit*> DataFields() const;
    void Recolour(bool force);

    QWidget* MakePanelGroup();
    QWidget* MakeClockGroup();
    QWidget* MakeMainGroup();

    QLineEdit* m_Unit = nullptr;
    QLineEdit* m_PanelName = nullptr;
    QPushButton* m_Switch = nullptr;
    QLineEdit* m_Clock = nullptr;
    QPushButton* m_SetClock = nullptr;
    std::array<std::array<QLineEdit*, kColumns>, 3> m_Phase{};
    QLineEdit* m_Ground = nullptr;
    QLineEdit* m_Neutral = nullptr;
    QLineEdit* m_TotalPower = nullptr;
    QLineEdit* m_TotalVa = nullptr;
    QLineEdit* m_TotalPf = nullptr;
    QLineEdit* m_Energy = nullptr;
    QPushButton* m_ResetKwh = nullptr;
    bool m_Stale = false;
};

}  // namespace jvo::monitor::qt
