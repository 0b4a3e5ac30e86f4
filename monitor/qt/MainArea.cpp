// The panel, clock and main breaker groups.
#include "monitor/qt/MainArea.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "monitor/qt/FieldColours.h"
#include "monitor/qt/ReadingField.h"

namespace jvo::monitor::qt {

namespace {

const char* const kHeads[MainArea::kColumns] = {
    "I-RMS", "I-PCT", "I-THD", "I-CF", "VLL-RMS", "VLN-RMS", "V-THD", "V-CF", "Power", "VA", "PF"};

QLineEdit* Field(QWidget* parent, int minWidth = 72) {
    auto* f = new ReadingField(parent);
    f->setAlignment(Qt::AlignRight);
    f->setFocusPolicy(Qt::NoFocus);
    f->setMinimumWidth(minWidth);
    return f;
}

// Sets a text only when it differs, so an unchanged field is not repainted.
void SetText(QLineEdit* f, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (f->text() != t) f->setText(t);
}

QLabel* Label(const QString& text, QWidget* parent, Qt::Alignment a = Qt::AlignRight) {
    auto* l = new QLabel(text, parent);
    l->setAlignment(a | Qt::AlignVCenter);
    return l;
}

}  // namespace

MainArea::MainArea(QWidget* parent) : QWidget(parent) {
    auto* top = new QHBoxLayout;
    top->addWidget(MakePanelGroup(), 3);
    top->addWidget(MakeClockGroup(), 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(MakeMainGroup());
    m_PanelName->installEventFilter(this);
    Clear();
}

QWidget* MainArea::MakePanelGroup() {
    auto* g = new QGroupBox(tr("Panel Status"), this);
    m_Unit = Field(g, 160);
    m_Unit->setAlignment(Qt::AlignLeft);
    m_PanelName = Field(g, 160);
    m_PanelName->setAlignment(Qt::AlignLeft);
    m_PanelName->setObjectName(QStringLiteral("panelName"));
    m_PanelName->setToolTip(tr("Click to switch panel"));
    m_PanelName->setCursor(Qt::PointingHandCursor);
    m_Switch = new QPushButton(tr("A/&B"), g);
    m_Switch->setObjectName(QStringLiteral("switchPanel"));
    m_Switch->setEnabled(false);
    auto* row = new QHBoxLayout(g);
    row->addWidget(Label(tr("Unit:"), g));
    row->addWidget(m_Unit, 1);
    row->addSpacing(8);
    row->addWidget(Label(tr("Panel:"), g));
    row->addWidget(m_PanelName, 1);
    row->addWidget(m_Switch);
    return g;
}

QWidget* MainArea::MakeClockGroup() {
    auto* g = new QGroupBox(tr("Real-Time Clock"), this);
    m_Clock = Field(g, 150);
    m_Clock->setAlignment(Qt::AlignCenter);
    m_SetClock = new QPushButton(tr("S&et"), g);
    m_SetClock->setObjectName(QStringLiteral("setClock"));
    m_SetClock->setEnabled(false);
    auto* row = new QHBoxLayout(g);
    row->addWidget(m_Clock, 1);
    row->addWidget(m_SetClock);
    return g;
}

QWidget* MainArea::MakeMainGroup() {
    auto* g = new QGroupBox(tr("Main Breaker Status"), this);
    auto* grid = new QGridLayout(g);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    for (int c = 0; c < kColumns; ++c)
        grid->addWidget(Label(QString::fromLatin1(kHeads[c]), g, Qt::AlignHCenter), 0, c + 1);
    const char* const rows[3] = {"X-Phase:", "Y-Phase:", "Z-Phase:"};
    for (int p = 0; p < 3; ++p) {
        grid->addWidget(Label(tr(rows[p]), g), p + 1, 0);
        for (int c = 0; c < kColumns; ++c) {
            m_Phase[p][c] = Field(g);
            grid->addWidget(m_Phase[p][c], p + 1, c + 1);
        }
    }
    m_Ground = Field(g);
    m_Neutral = Field(g);
    m_TotalPower = Field(g);
    m_TotalVa = Field(g);
    m_TotalPf = Field(g);
    m_Energy = Field(g);
    m_ResetKwh = new QPushButton(tr("&Reset All kWH"), g);
    m_ResetKwh->setObjectName(QStringLiteral("resetKwh"));
    grid->addWidget(Label(tr("Ground:"), g), 4, 0);
    grid->addWidget(m_Ground, 4, 1);
    grid->addWidget(Label(tr("Total"), g), 4, 8);
    grid->addWidget(m_TotalPower, 4, 9);
    grid->addWidget(m_TotalVa, 4, 10);
    grid->addWidget(m_TotalPf, 4, 11);
    grid->addWidget(Label(tr("Neutral:"), g), 5, 0);
    grid->addWidget(m_Neutral, 5, 1);
    grid->addWidget(m_Energy, 5, 5, 1, 2);  // ends under VLN-RMS, room for a large meter
    grid->addWidget(m_ResetKwh, 5, 7, 1, 2);
    return g;
}

void MainArea::Show(const MainBreakerView& v) {
    SetText(m_PanelName, v.m_PanelName);
    ApplyRole(m_PanelName, v.m_PanelNameColour, m_Stale);
    for (int p = 0; p < 3; ++p) {
        const PhaseRowView& r = v.m_Phases[static_cast<size_t>(p)];
        const std::string* texts[kColumns] = {&r.m_IRms,  &r.m_IPct, &r.m_IThd, &r.m_ICf,
                                              &r.m_Vll,   &r.m_Vln,  &r.m_VThd, &r.m_VCf,
                                              &r.m_Power, &r.m_Va,   &r.m_Pf};
        for (int c = 0; c < kColumns; ++c)
            SetText(m_Phase[p][c], *texts[c]);
        ApplyRole(m_Phase[p][0], r.m_IRmsColour, m_Stale);
        ApplyRole(m_Phase[p][4], r.m_VllColour, m_Stale);
    }
    SetText(m_Ground, v.m_Ground);
    ApplyRole(m_Ground, v.m_GroundColour, m_Stale);
    SetText(m_Neutral, v.m_Neutral);
    ApplyRole(m_Neutral, v.m_NeutralColour, m_Stale);
    SetText(m_TotalPower, v.m_TotalPower);
    SetText(m_TotalVa, v.m_TotalVa);
    SetText(m_TotalPf, v.m_TotalPf);
    SetText(m_Energy, v.m_Energy);
}

void MainArea::Clear() {
    MainBreakerView empty;
    Show(empty);
    ApplyRole(m_PanelName, ColourRole::Normal);  // no colours before connect
}

void MainArea::SetUnit(const QString& text) {
    m_Unit->setText(text);
}

void MainArea::SetClock(const QString& text) {
    if (m_Clock->text() != text) m_Clock->setText(text);
}

std::vector<QLineEdit*> MainArea::DataFields() const {
    std::vector<QLineEdit*> fields = {m_PanelName,  m_Clock,   m_Ground,  m_Neutral,
                                      m_TotalPower, m_TotalVa, m_TotalPf, m_Energy};
    for (const auto& row : m_Phase)
        fields.insert(fields.end(), row.begin(), row.end());
    return fields;
}

void MainArea::SetStale(bool stale) {
    if (stale == m_Stale) return;
    m_Stale = stale;
    Recolour(false);
}

void MainArea::Recolour(bool force) {
    // Each field keeps its role (an alarm stays an alarm underneath) and is only drawn greyed.
    for (QLineEdit* f : DataFields())
        ApplyRole(f, AppliedRole(f), m_Stale, force);
}

void MainArea::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The greyed colours come from the palette: a new palette (a dark desktop) brings new ones.
    if (event->type() == QEvent::PaletteChange && m_Stale) Recolour(true);
}

bool MainArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_PanelName && event->type() == QEvent::MouseButtonPress &&
        m_Switch->isEnabled()) {
        emit PanelNameClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace jvo::monitor::qt
