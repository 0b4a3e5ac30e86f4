// The main window's view of the line: the traffic window and the rates beside the data's age.
#include <QLabel>
#include <chrono>

#include "monitor/qt/MonitorDlg.h"
#include "monitor/qt/TrafficDlg.h"

namespace jvo::monitor::qt {

void MonitorDlg::OnLine() {
    if (m_Exiting) return;
    if (!m_TrafficDlg) m_TrafficDlg = new TrafficDlg(m_Session->Link(), this);
    m_TrafficDlg->show();
    m_TrafficDlg->raise();
}

void MonitorDlg::ShowLineRates() {
    const UnitLink& link = m_Session->Link();
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    m_Rates.Sample(now, link.Transactions(), link.Failures());
    // A rate over seconds is read once a second: a new text at every tick would only have the
    // label laid out and drawn again.
    if (!m_LineRates->text().isEmpty() && now - m_RatesShownMs < 1000) return;
    m_RatesShownMs = now;
    const QString text = QString::fromStdString(m_Rates.Text());
    if (m_LineRates->text() != text) m_LineRates->setText(text);
}

}  // namespace jvo::monitor::qt
