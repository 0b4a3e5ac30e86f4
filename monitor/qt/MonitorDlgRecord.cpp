// The main window's readings record (File > Record...): the dialog, the interval's tick and the
// mark in the status line while it runs.
#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <ctime>

#include "monitor/Dumps.h"
#include "monitor/qt/MonitorDlg.h"
#include "monitor/qt/RecordDlg.h"

namespace jvo::monitor::qt {

namespace {
constexpr int kRecordTickMs = 250;
}

void MonitorDlg::OnRecord() {
    if (m_Record.Running()) {
        StopRecording();
        return;
    }
    if (!m_Connected || m_Exiting) return;
    auto* d = new RecordDlg(m_RecordLast, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    connect(d, &QDialog::accepted, this, [this, d] { StartRecording(d->Settings()); });
    d->open();
}

void MonitorDlg::StartRecording(const RecordSettings& settings) {
    if (!m_Connected || m_Exiting) return;
    m_RecordLast = settings;
    if (!m_Record.Start(settings, std::time(nullptr))) {
        ShowMessage(this, QString::fromStdString(CreateFileFailedText(settings.m_Path)),
                    MsgButtons::Ok, MsgIcon::Error, [](MsgResult) {});
        return;
    }
    m_RecordTimer.start(kRecordTickMs);
    OnRecordTick();
}

void MonitorDlg::StopRecording() {
    m_RecordTimer.stop();
    m_Record.Stop();
    ShowRecordMark();
}

void MonitorDlg::OnRecordTick() {
    if (!m_Record.Running()) return;
    PollWorker& worker = m_Session->Worker();
    const bool fresh = !worker.TransportLost() && !worker.NotAnswering();
    const RecordControl::Tick t =
        m_Record.OnTick(QDateTime::currentMSecsSinceEpoch(), std::time(nullptr), fresh,
                        worker.Cycles(), m_Session->Config(), m_Session->Readings().Snapshot());
    if (t == RecordControl::Tick::Failed) {
        const std::string path = m_RecordLast.m_Path;
        StopRecording();
        ShowMessage(
            this, tr("Could not write %1; the recording stopped").arg(QString::fromStdString(path)),
            MsgButtons::Ok, MsgIcon::Error, [](MsgResult) {});
        return;
    }
    ShowRecordMark();
}

void MonitorDlg::ShowRecordMark() {
    const bool on = m_Record.Running();
    if (QAction* a = Action("record")) a->setText(on ? tr("Stop &Recording") : tr("&Record..."));
    m_RecordMark->setVisible(on);
    if (!on) return;
    const QString file = QString::fromStdString(m_Record.File());
    m_RecordMark->setText(QStringLiteral("<span style=\"color:#e03030\">&#9679;</span> ") +
                          tr("REC %1 every %2 s (%3)")
                              .arg(QFileInfo(file).fileName().toHtmlEscaped())
                              .arg(m_Record.Settings().m_IntervalS)
                              .arg(m_Record.Intervals()));
    m_RecordMark->setToolTip(file);
}

}  // namespace jvo::monitor::qt
