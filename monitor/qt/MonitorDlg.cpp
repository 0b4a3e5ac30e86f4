// The main window: its controls, menus, size rules and exit.
#include "monitor/qt/MonitorDlg.h"
#include "monitor/qt/TrendWindow.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include "monitor/Formats.h"
#include "monitor/qt/EventLogDlg.h"
#include "monitor/qt/ListsPane.h"
#include "monitor/qt/MainArea.h"
#include "monitor/qt/ReadingsList.h"
#include "monitor/qt/TrafficDlg.h"
#include "qtcommon/WindowFit.h"

namespace jvo::monitor::qt {

namespace {

constexpr int kMinimumHeight = 500;
constexpr int kNotesMs = 200;
constexpr int kStartHeight = 800;  // cut to the work area

}  // namespace

MonitorDlg::MonitorDlg(MonitorApp& app, std::string logPath, SessionOptions options,
                       QWidget* parent)
    : QMainWindow(parent), m_App(app), m_LogPath(std::move(logPath)), m_Ui(*this) {
    setObjectName(QStringLiteral("MonitorDlg"));
    setWindowTitle(QStringLiteral("JVO/TKA Monitor"));
    auto* central = new QWidget(this);
    m_Area = new MainArea(central);
    m_Lists = new ListsPane(central);
    // The list group stretches, the bottom row moves with the bottom; in a window smaller than
    // they can shrink, the controls scroll.
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(m_Area);
    layout->addWidget(m_Lists, 1);
    layout->addWidget(MakeBottomRow(central));
    setCentralWidget(jvo::qt::ScrollingArea(central, this));
    m_StatusLine = new QLabel(this);
    m_StatusLine->setObjectName(QStringLiteral("statusLine"));
    statusBar()->addWidget(m_StatusLine, 1);
    m_RecordMark = new QLabel(this);
    m_RecordMark->setObjectName(QStringLiteral("recordMark"));
    m_RecordMark->hide();
    statusBar()->addPermanentWidget(m_RecordMark);
    m_LineRates = new QLabel(this);
    m_LineRates->setObjectName(QStringLiteral("lineRates"));
    // A fixed size, so that a new rate repaints the label alone: a label whose size may change
    // has the status bar laid out and the window repainted at each change.
    m_LineRates->setText(QStringLiteral("00000.0 req/s, 00000 failures/min"));
    m_LineRates->setFixedSize(m_LineRates->sizeHint());
    m_LineRates->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_LineRates->clear();
    statusBar()->addPermanentWidget(m_LineRates);
    connect(&m_RecordTimer, &QTimer::timeout, this, &MonitorDlg::OnRecordTick);
    MakeMenus();

    connect(m_Area, &MainArea::PanelNameClicked, this, &MonitorDlg::OnSwitchPanel);
    connect(m_Area->SwitchButton(), &QPushButton::clicked, this, &MonitorDlg::OnSwitchPanel);
    connect(m_Area->SetClockButton(), &QPushButton::clicked, this, &MonitorDlg::OnSetClock);
    connect(m_Area->ResetKwhButton(), &QPushButton::clicked, this, &MonitorDlg::OnResetKwh);
    connect(m_Lists, &ListsPane::BreakerActivated, this, &MonitorDlg::OnBreakerRow);
    connect(m_Lists, &ListsPane::SubfeedActivated, this, &MonitorDlg::OnSubfeedRow);
    connect(m_Lists->Breakers(), &ReadingsList::RowMenu, this, &MonitorDlg::OnBreakerMenu);
    connect(&m_Timer, &QTimer::timeout, this, &MonitorDlg::OnTimer);
    // Escape ends the window as the close box does (with its question while connected).
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);

    // Notifications are taken at most every kNotesMs: however fast the unit answers, the window
    // repaints a bounded number of times a second (the queue merges what waits meanwhile).
    m_NoteTimer.setSingleShot(true);
    m_NoteTimer.setInterval(kNotesMs);
    connect(&m_NoteTimer, &QTimer::timeout, this, &MonitorDlg::TakeNotes);
    m_Notify.SetWake([this] {
        if (m_TimerTakesNotes.load()) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_NoteTimer.isActive()) m_NoteTimer.start();
            },
            Qt::QueuedConnection);
    });
    if (!options.routes) options.routes = &m_Routes;
    m_Session = std::make_unique<MonitorSession>(app, m_Ui, m_Notify, std::move(options));
    m_EventLog = new EventLogDlg(*m_Session, m_Notify, this);
    connect(m_EventLog, &EventLogDlg::ClearLogWanted, this, [this](int log) {
        if (Begin(CMD_CLEAR_EVENT_LOG, tr("Clearing the event log...")))
            m_Session->ClearEventLog(log);
    });
    connect(m_EventLog, &EventLogDlg::DumpWanted, this, &MonitorDlg::OnDumpEventLog);
    ApplyListShown();
    FitToScreen();
}

MonitorDlg::~MonitorDlg() {
    delete m_TrafficDlg;  // it unhooks itself from the session's link
    m_TrafficDlg = nullptr;
    m_Record.Stop();
    m_TimerTakesNotes = false;
    m_Timer.stop();
    m_Ui.Shutdown();
    m_Session->Exit();
    m_Session.reset();
}

QWidget* MonitorDlg::MakeBottomRow(QWidget* parent) {
    auto* row = new QWidget(parent);
    m_Version = new QLabel(QString::fromStdString(MonitorBuildText()), row);
    m_AutoZero = new QCheckBox(tr("Auto-&Zero"), row);
    m_AutoZero->setObjectName(QStringLiteral("autoZero"));
    m_AutoZero->setEnabled(false);
    m_AutoZero->setVisible(m_App.ServiceUser());
    m_Dump = new QPushButton(tr("D&ump"), row);
    m_ListToggle = new QPushButton(tr("&Subfeeds"), row);
    m_ListToggle->setObjectName(QStringLiteral("listToggle"));
    m_ViewToggle = new QPushButton(tr("Vie&w"), row);
    m_ViewToggle->setObjectName(QStringLiteral("viewToggle"));
    m_Events = new QPushButton(tr("Eve&nts"), row);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(m_Version);
    h->addStretch(1);
    for (QWidget* w : {static_cast<QWidget*>(m_AutoZero), static_cast<QWidget*>(m_Dump),
                       static_cast<QWidget*>(m_ListToggle), static_cast<QWidget*>(m_ViewToggle),
                       static_cast<QWidget*>(m_Events)})
        h->addWidget(w);
    connect(m_AutoZero, &QCheckBox::clicked, this, &MonitorDlg::OnAutoZero);
    connect(m_Dump, &QPushButton::clicked, this, &MonitorDlg::OnDumpReadings);
    connect(m_ListToggle, &QPushButton::clicked, this, &MonitorDlg::OnToggleList);
    connect(m_ViewToggle, &QPushButton::clicked, this, &MonitorDlg::OnToggleView);
    connect(m_Events, &QPushButton::clicked, this, &MonitorDlg::OnEvents);
    return row;
}

void MonitorDlg::MakeMenus() {
    auto add = [this](QMenu* menu, const QString& text, const char* name, auto slot) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    add(file, tr("&Record..."), "record", &MonitorDlg::OnRecord);
    file->addSeparator();
    add(file, tr("E&xit"), "exit", [this] { close(); })->setShortcut(QKeySequence::Quit);
    QMenu* view = menuBar()->addMenu(tr("&View"));
    add(view, tr("&Event Logs"), "viewEvents", &MonitorDlg::OnEvents);
    add(view, tr("&Breakers"), "viewBreakers", &MonitorDlg::OnShowBreakers);
    add(view, tr("&Subfeeds"), "viewSubfeeds", &MonitorDlg::OnShowSubfeeds);
    if (HaveTrendWindow()) {
        add(view, tr("&Trend..."), "viewTrend", [this] {
            const int row = m_Lists->Breakers()->Table()->currentIndex().row();
            OnTrend(row < 0 ? 0 : row);
        });
    }
    add(view, tr("&Line..."), "viewLine", &MonitorDlg::OnLine);
    QMenu* dump = menuBar()->addMenu(tr("&Dump"));
    add(dump, tr("&Readings"), "dumpReadings", &MonitorDlg::OnDumpReadings);
    add(dump, tr("&Event Log"), "dumpEventLog", &MonitorDlg::OnDumpEventLog);
    add(dump, tr("&Configuration"), "dumpConfig", &MonitorDlg::OnDumpConfig);
    dump->addSeparator();
    add(dump, tr("Export &Table..."), "exportTable", &MonitorDlg::OnExportTable);
    QMenu* alarms = menuBar()->addMenu(tr("&Alarms"));
    auto* group = new QActionGroup(this);
    const struct {
        const char* text;
        const char* name;
        AlarmMode mode;
    } modes[] = {{"&Raw", "alarmRaw", AlarmMode::Raw},
                 {"&Filtered", "alarmFiltered", AlarmMode::Filtered},
                 {"&Latched", "alarmLatched", AlarmMode::Latched}};
    for (const auto& m : modes) {
        const AlarmMode mode = m.mode;
        QAction* a = add(alarms, tr(m.text), m.name, [this, mode] { OnAlarmMode(mode); });
        a->setCheckable(true);
        a->setChecked(mode == m_Mode);
        group->addAction(a);
    }
    alarms->addSeparator();
    add(alarms, tr("&Clear All"), "clearAlarms", &MonitorDlg::OnClearAlarms);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    add(help, tr("&About Monitor..."), "about", &MonitorDlg::OnAbout);
}

ReadingsList* MonitorDlg::Breakers() const {
    return m_Lists->Breakers();
}

ReadingsList* MonitorDlg::Subfeeds() const {
    return m_Lists->Subfeeds();
}

QGroupBox* MonitorDlg::ListGroup() const {
    return m_Lists;
}

QAction* MonitorDlg::Action(const char* name) const {
    return findChild<QAction*>(QString::fromLatin1(name));
}

void MonitorDlg::FitToScreen() {
    // The laid-out width and 800 pixels high, or as much of that as the screen's work area has
    // room for. Both can be changed (a wider window widens the fields, a maximised one fills the
    // screen), down to 500 pixels high unless the work area is lower still.
    const QSize content = centralWidget()->sizeHint().expandedTo(
        static_cast<QScrollArea*>(centralWidget())->widget()->sizeHint());
    const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    resize(jvo::qt::FitSize(
        this, QSize(content.width(), std::max(content.height() + bars, kStartHeight))));
    setMinimumHeight(std::min(kMinimumHeight, jvo::qt::FitArea(screen()).height()));
}

void MonitorDlg::Start() {
    Begin(CMD_CONNECT, tr("Connecting..."));
    m_Session->Connect();
}

void MonitorDlg::closeEvent(QCloseEvent* event) {
    if (m_Exiting) {
        event->accept();
        return;
    }
    event->ignore();
    if (!m_Connected) {
        if (!Busy()) {
            FinishExit();
        } else {  // the connect sequence: cancel its dialogs, close when it has ended
            m_CloseWhenIdle = true;
            m_Ui.Shutdown();
        }
        return;
    }
    ShowMessage(this, tr("Are you sure you want to exit?"), MsgButtons::YesNo, MsgIcon::None,
                [this](MsgResult r) {
                    // A command under way is broken off: the session closes the link first.
                    if (r == MsgResult::Yes) FinishExit();
                });
}

void MonitorDlg::EndOnRequest() {
    if (m_Exiting) return;
    if (!Busy()) {
        FinishExit();
        return;
    }
    m_CloseWhenIdle = true;
    m_Ui.Shutdown();
    UpdateStatusLine();
}

void MonitorDlg::FinishExit() {
    m_Exiting = true;
    StopRecording();
    m_TimerTakesNotes = false;
    m_Timer.stop();
    if (m_Notify.Waiting() > 0) m_NoteTimer.start();
    m_Ui.Shutdown();
    m_Session->Exit();
    close();
}

}  // namespace jvo::monitor::qt
