// The traffic window.
#include "monitor/qt/TrafficDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "link/UnitLink.h"
#include "monitor/qt/DumpSave.h"
#include "monitor/qt/FieldColours.h"

namespace jvo::monitor::qt {

namespace {
constexpr int kColumns = 8;
}

TrafficDlg::TrafficDlg(UnitLink& link, QWidget* parent)
    : QDialog(parent), m_Link(link), m_List(new QTableWidget(this)) {
    setObjectName(QStringLiteral("trafficDlg"));
    setWindowTitle(tr("Line"));
    m_List->setColumnCount(kColumns);
    m_List->setHorizontalHeaderLabels({tr("Time"), tr("Command"), tr("Seq"), tr("Request"),
                                       tr("Reply"), tr("Code"), tr("RTT"), tr("Status")});
    const int widths[kColumns] = {95, 200, 45, 65, 55, 50, 65, 200};
    for (int c = 0; c < kColumns; ++c)
        m_List->setColumnWidth(c, widths[c]);
    m_List->horizontalHeader()->setStretchLastSection(true);
    m_List->verticalHeader()->hide();
    m_List->verticalHeader()->setDefaultSectionSize(m_List->fontMetrics().height() + 4);
    m_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_List->setWordWrap(false);
    m_List->setMinimumSize(800, 360);

    m_Pause = new QPushButton(tr("&Pause"), this);
    m_Pause->setObjectName(QStringLiteral("trafficPause"));
    m_Pause->setCheckable(true);
    auto* clear = new QPushButton(tr("C&lear"), this);
    auto* save = new QPushButton(tr("&Save..."), this);
    save->setObjectName(QStringLiteral("trafficSave"));
    auto* close = new QPushButton(tr("Close"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_Pause, clear, save}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_List, 1);
    layout->addLayout(buttons);

    connect(m_Pause, &QPushButton::toggled, this, &TrafficDlg::OnPause);
    connect(clear, &QPushButton::clicked, this, &TrafficDlg::OnClear);
    connect(save, &QPushButton::clicked, this, &TrafficDlg::OnSave);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_Timer, &QTimer::timeout, this, [this] {
        if (m_Log && !m_Paused && m_Log->Generation() != m_Seen) Redraw();
    });
}

TrafficDlg::~TrafficDlg() {
    m_Link.SetTap(nullptr);
}

void TrafficDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_Log) {
        m_Log = std::make_shared<TrafficLog>();
        m_Link.SetTap(m_Log);
    }
    m_Timer.start(kRedrawMs);
}

void TrafficDlg::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // Closed: the link copies nothing more for it.
    m_Link.SetTap(nullptr);
    m_Log.reset();
    m_Timer.stop();
    m_Seen = ~uint64_t{0};
}

void TrafficDlg::Redraw() {
    if (!m_Log) return;
    m_Seen = m_Log->Generation();
    m_Shown = m_Log->Entries();
    const std::vector<TrafficEntry>& entries = m_Shown;
    const QPalette p = palette();
    m_List->setUpdatesEnabled(false);
    m_List->setRowCount(static_cast<int>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const TrafficRow r = MakeTrafficRow(entries[i]);
        const std::string* texts[kColumns] = {&r.m_Time,      &r.m_Command, &r.m_Sequence,
                                              &r.m_Request,   &r.m_Reply,   &r.m_Code,
                                              &r.m_RoundTrip, &r.m_Status};
        for (int c = 0; c < kColumns; ++c) {
            QTableWidgetItem* item = m_List->item(static_cast<int>(i), c);
            if (!item) m_List->setItem(static_cast<int>(i), c, item = new QTableWidgetItem);
            item->setText(QString::fromStdString(*texts[c]));
            item->setBackground(r.m_Failed ? QBrush(kAlarmBackground) : p.base());
            item->setForeground(r.m_Failed ? QBrush(Qt::white) : p.text());
        }
    }
    m_List->setUpdatesEnabled(true);
    m_List->scrollToBottom();
}

void TrafficDlg::OnPause(bool paused) {
    m_Paused = paused;
    m_Pause->setText(paused ? tr("&Resume") : tr("&Pause"));
    if (!paused) Redraw();
}

void TrafficDlg::OnClear() {
    if (m_Log) m_Log->Clear();
    Redraw();
}

void TrafficDlg::OnSave() {
    // The rows the window shows, paused or not.
    SaveDump(this, DumpKind::Traffic, [shown = m_Shown] { return TrafficText(shown); });
}

}  // namespace jvo::monitor::qt
