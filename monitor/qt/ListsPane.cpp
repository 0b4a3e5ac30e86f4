// The breaker and subfeed lists' group.
#include "monitor/qt/ListsPane.h"

#include <QApplication>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "monitor/qt/ReadingsList.h"

namespace jvo::monitor::qt {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QStringList Texts(const BreakerRowView& r) {
    return {Q(r.m_Name), Q(r.m_TypeRating), Q(r.m_Load), Q(r.m_I[0]), Q(r.m_I[1]),
            Q(r.m_I[2]), Q(r.m_Power),      Q(r.m_Va),   Q(r.m_Pf),   Q(r.m_Kwh)};
}

QStringList Texts(const SubfeedRowView& r) {
    return {Q(r.m_Name), Q(r.m_Rating), Q(r.m_Load),  Q(r.m_I[0]), Q(r.m_I[1]), Q(r.m_I[2]),
            Q(r.m_I[3]), Q(r.m_I[4]),   Q(r.m_Power), Q(r.m_Va),   Q(r.m_Pf),   Q(r.m_Kwh)};
}

template <class Rows>
void FillModel(RowsModel& model, const Rows& views) {
    std::vector<QStringList> rows;
    std::vector<int> icons;
    for (const auto& r : views) {
        rows.push_back(Texts(r));
        icons.push_back(r.m_Icon);
    }
    model.Reset(std::move(rows), std::move(icons));
}

}  // namespace

ListsPane::ListsPane(QWidget* parent)
    : QGroupBox(tr("Breaker/Subfeed Status"), parent), m_Stack(new QStackedWidget(this)) {
    m_Breakers = new ReadingsList(
        {"Breaker", "Type/Rating", "Load", "I1", "I2", "I3", "Power", "VA", "PF", "kWH"},
        {120, 90, 60, 60, 60, 60, 70, 70, 60, 70}, IconSet::Breaker, m_Stack);
    m_Subfeeds = new ReadingsList(
        {"Subfeed", "Rating", "Load", "Ix", "Iy", "Iz", "In", "Ig", "Power", "VA", "PF", "kWH"},
        {120, 60, 60, 60, 60, 60, 60, 60, 70, 70, 60, 70}, IconSet::Subfeed, m_Stack);
    m_Stack->addWidget(m_Breakers);
    m_Stack->addWidget(m_Subfeeds);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Stack);
    connect(m_Breakers, &ReadingsList::RowActivated, this, &ListsPane::BreakerActivated);
    connect(m_Subfeeds, &ReadingsList::RowActivated, this, &ListsPane::SubfeedActivated);
}

void ListsPane::Fill(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                     AlarmMode mode) {
    FillModel(m_Breakers->Model(), MakeBreakerRows(config, s, panel, mode));
    FillModel(m_Subfeeds->Model(), MakeSubfeedRows(config, s, panel, mode));
    m_Breakers->FitNameColumn();
    m_Subfeeds->FitNameColumn();
}

void ListsPane::RefreshBreaker(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                               int row, AlarmMode mode) {
    const BreakerRowView r = MakeBreakerRow(config, s, panel, row, mode);
    m_Breakers->Model().SetRow(row, Texts(r), r.m_Icon);
}

void ListsPane::RefreshSubfeed(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                               int row, AlarmMode mode) {
    const SubfeedRowView r = MakeSubfeedRow(config, s, panel, row, mode);
    m_Subfeeds->Model().SetRow(row, Texts(r), r.m_Icon);
}

void ListsPane::RefreshAll(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                           AlarmMode mode) {
    for (int row = 0; row < m_Breakers->Model().rowCount(); ++row)
        RefreshBreaker(config, s, panel, row, mode);
    for (int row = 0; row < m_Subfeeds->Model().rowCount(); ++row)
        RefreshSubfeed(config, s, panel, row, mode);
}

void ListsPane::RefreshBreakerIcons(const PanelReadings& p, int used, AlarmMode mode) {
    for (int row = 0; row < used && row < kMaxBreakers; ++row)
        m_Breakers->Model().SetIcon(
            row, BreakerIcon(p.m_Breakers[static_cast<size_t>(row)].m_Reading, mode));
}

void ListsPane::SetStale(bool stale) {
    m_Breakers->Model().SetStale(stale);
    m_Subfeeds->Model().SetStale(stale);
}

void ListsPane::ShowSubfeeds(bool subfeeds, bool titled) {
    QWidget* old = m_Stack->currentWidget();
    const bool hadFocus = old->hasFocus() || old->isAncestorOf(QApplication::focusWidget());
    m_Stack->setCurrentWidget(subfeeds ? m_Subfeeds : m_Breakers);
    if (titled) setTitle(subfeeds ? tr("Subfeed Status") : tr("Breaker Status"));
    if (hadFocus) m_Stack->currentWidget()->setFocus();
}

void ListsPane::SetIconView(bool icons) {
    m_Breakers->SetIconView(icons);
    m_Subfeeds->SetIconView(icons);
}

}  // namespace jvo::monitor::qt
