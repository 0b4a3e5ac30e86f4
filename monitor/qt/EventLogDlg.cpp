// The event log dialog.
#include "monitor/qt/EventLogDlg.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "monitor/EventText.h"
#include "monitor/qt/QtMonitorUi.h"

namespace jvo::monitor::qt {

EventLogDlg::EventLogDlg(MonitorSession& session, NotifyQueue& notify, QWidget* parent)
    : QDialog(parent), m_Session(session), m_Notify(notify), m_List(new QTableWidget(this)) {
    setObjectName(QStringLiteral("EventLogDlg"));
    setWindowTitle(tr("Event Log"));
    const char* const names[3] = {"Panel &A", "Panel &B", "&Service"};
    auto* group = new QButtonGroup(this);
    auto* radios = new QHBoxLayout;
    for (int log = 0; log < 3; ++log) {
        m_Radio[log] = new QRadioButton(tr(names[log]), this);
        group->addButton(m_Radio[log], log);
        radios->addWidget(m_Radio[log]);
    }
    radios->addStretch(1);
    connect(group, &QButtonGroup::idClicked, this, [this](int log) { Fill(log, false); });

    // The described three columns, then the name of what the event is about.
    m_List->setColumnCount(kColumns);
    m_List->setHorizontalHeaderLabels(
        {tr("Index"), tr("Timestamp"), tr("Event Description"), tr("Name")});
    m_List->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[kColumns] = {60, 125, 430, 160};
    for (int c = 0; c < kColumns; ++c)
        m_List->setColumnWidth(c, widths[c]);
    m_List->horizontalHeader()->setStretchLastSection(true);
    m_List->verticalHeader()->hide();
    m_List->verticalHeader()->setDefaultSectionSize(m_List->fontMetrics().height() + 6);
    m_List->setShowGrid(true);
    m_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_List->setWordWrap(false);
    m_List->setMinimumSize(60 + 125 + 430 + 160 + 24, 320);

    auto* dump = new QPushButton(tr("&Dump"), this);
    auto* clear = new QPushButton(tr("&Clear Log"), this);
    clear->setObjectName(QStringLiteral("clearLog"));
    auto* close = new QPushButton(tr("Close"), this);
    for (QPushButton* b : {dump, clear, close})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(dump);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    buttons->addWidget(close);
    connect(dump, &QPushButton::clicked, this, &EventLogDlg::DumpWanted);
    connect(clear, &QPushButton::clicked, this, [this] {
        ShowMessage(this, tr("Are you sure you want to clear the Event Log?"), MsgButtons::YesNo,
                    MsgIcon::None, [this](MsgResult r) {
                        if (r == MsgResult::Yes) OnClearLog();
                    });
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(radios);
    layout->addWidget(m_List, 1);
    layout->addLayout(buttons);
    setWindowModality(Qt::ApplicationModal);
}

void EventLogDlg::OpenLog(int panel) {
    const bool service = m_Session.ServiceUser();
    m_Radio[2]->setVisible(service);
    m_Radio[2]->setEnabled(service);
    // The panel the main window shows, unless the Service log was the one looked at last.
    if (!(service && m_Shown == 2) && panel >= 0 && panel < kPanelCount) m_Shown = panel;
    if (!service && m_Shown == 2) m_Shown = 0;
    m_Radio[m_Shown]->setChecked(true);
    Fill(m_Shown, true);
    m_Notify.SetEventLogWindowOpen(true);
    open();
    m_List->setFocus();
}

void EventLogDlg::OnLogChanged(int log) {
    if (isVisible() && log == m_Shown) Fill(log, true);
}

void EventLogDlg::OnClearLog() {
    emit ClearLogWanted(m_Shown);
}

void EventLogDlg::Fill(int log, bool forced) {
    if (log < 0 || log > 2 || (!forced && log == m_Shown)) return;
    m_Shown = log;
    const std::vector<EventRecord> events = m_Session.Logs()[static_cast<size_t>(log)].Events();
    m_List->setUpdatesEnabled(false);
    m_List->setRowCount(static_cast<int>(events.size()));
    for (size_t i = 0; i < events.size(); ++i) {
        const EventRowView row = MakeEventRow(events[i]);
        const QString texts[kColumns] = {
            QString::fromStdString(row.m_Index), QString::fromStdString(row.m_Timestamp),
            QString::fromStdString(row.m_Description),
            QString::fromStdString(EventSubjectName(m_Session.Config(), log, events[i]))};
        for (int c = 0; c < kColumns; ++c) {
            QTableWidgetItem* item = m_List->item(static_cast<int>(i), c);
            if (!item) {
                item = new QTableWidgetItem;
                m_List->setItem(static_cast<int>(i), c, item);
            }
            if (item->text() != texts[c]) item->setText(texts[c]);
        }
    }
    m_List->setUpdatesEnabled(true);
}

void EventLogDlg::done(int result) {
    m_Notify.SetEventLogWindowOpen(false);
    QDialog::done(result);
}

}  // namespace jvo::monitor::qt
