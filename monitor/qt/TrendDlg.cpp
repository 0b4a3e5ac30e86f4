// The trend window.
#include "monitor/qt/TrendDlg.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace jvo::monitor::qt {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The points split into the pieces between breaks (at least one, perhaps empty).
std::vector<QList<QPointF>> Split(const std::vector<TrendPoint>& points, double& lo, double& hi,
                                  double& top) {
    std::vector<QList<QPointF>> pieces(1);
    for (const TrendPoint& p : points) {
        if (p.m_Break && !pieces.back().isEmpty()) pieces.emplace_back();
        pieces.back().append(QPointF(static_cast<double>(p.m_TimeMs), p.m_Amps));
        lo = std::min(lo, static_cast<double>(p.m_TimeMs));
        hi = std::max(hi, static_cast<double>(p.m_TimeMs));
        top = std::max(top, static_cast<double>(p.m_Amps));
    }
    return pieces;
}

}  // namespace

TrendDlg::TrendDlg(const TrendBuffer& trend, const UnitConfig& config, QWidget* parent)
    : QDialog(parent), m_Trend(trend), m_Config(config) {
    setObjectName(QStringLiteral("trendDlg"));
    setWindowTitle(tr("Trend"));
    m_Choice = new QComboBox(this);
    m_Choice->setObjectName(QStringLiteral("trendBreaker"));
    m_Chart = new QChart();
    m_Chart->legend()->setAlignment(Qt::AlignBottom);
    m_Chart->setMargins(QMargins(4, 4, 4, 4));
    m_Time = new QDateTimeAxis(m_Chart);
    m_Time->setFormat(QStringLiteral("HH:mm:ss"));
    m_Time->setTitleText(tr("Time"));
    m_Amps = new QValueAxis(m_Chart);
    m_Amps->setTitleText(tr("Breaker (A)"));
    m_Amps->setLabelFormat(QStringLiteral("%.1f"));
    m_PanelAmps = new QValueAxis(m_Chart);
    m_PanelAmps->setTitleText(tr("Panel phases (A)"));
    m_PanelAmps->setLabelFormat(QStringLiteral("%.0f"));
    m_PanelAmps->setGridLineVisible(false);
    m_Chart->addAxis(m_Time, Qt::AlignBottom);
    m_Chart->addAxis(m_Amps, Qt::AlignLeft);
    m_Chart->addAxis(m_PanelAmps, Qt::AlignRight);
    m_View = new QChartView(m_Chart, this);
    m_View->setRenderHint(QPainter::Antialiasing);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Breaker:"), this));
    top->addWidget(m_Choice, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_View, 1);
    resize(720, 420);

    connect(m_Choice, &QComboBox::activated, this, [this](int i) { ShowBreaker(m_Panel, i); });
    connect(&m_Timer, &QTimer::timeout, this, [this] {
        if (m_Trend.Generation() != m_Seen) Redraw();
    });
    m_Timer.start(kRedrawMs);
    ApplyPalette();
}

void TrendDlg::ShowBreaker(int panel, int index) {
    if (panel < 0 || panel >= kPanelCount) return;
    const PanelRecord& rec = m_Config.m_Panels[panel];
    m_Panel = panel;
    m_Breaker = std::clamp(index, 0, std::max(0, rec.UsedBreakers() - 1));
    m_Choice->clear();
    for (int i = 0; i < rec.UsedBreakers(); ++i)
        m_Choice->addItem(QStringLiteral("%1 %2").arg(i + 1).arg(Q(rec.m_Breakers[i].m_Name)));
    m_Choice->setCurrentIndex(m_Breaker);
    Rebuild();
}

void TrendDlg::Rebuild() {
    m_Chart->removeAllSeries();
    m_Series.clear();
    m_More.clear();
    m_Poles.clear();
    const PanelRecord& rec = m_Config.m_Panels[m_Panel];
    const QChar letter = QLatin1Char(static_cast<char>('A' + m_Panel));
    QString name;
    if (m_Breaker < rec.UsedBreakers()) {
        const BreakerRecord& b = rec.m_Breakers[m_Breaker];
        name = Q(b.m_Name);
        for (int j = 0; j < b.m_Poles && j < 3; ++j) {
            if (!IsChannel(b.m_Ct[j])) continue;
            auto* s = new QLineSeries(m_Chart);
            s->setName(tr("I%1").arg(j + 1));
            m_Series.push_back(s);
            m_Poles.push_back(j);
        }
    }
    static const char* const kPhases[3] = {"X", "Y", "Z"};
    for (const char* ph : kPhases) {
        auto* s = new QLineSeries(m_Chart);
        s->setName(tr("Panel %1 %2").arg(letter).arg(QLatin1String(ph)));
        m_Series.push_back(s);
    }
    for (size_t k = 0; k < m_Series.size(); ++k) {
        QLineSeries* s = m_Series[k];
        m_Chart->addSeries(s);  // the theme gives it its colour
        s->attachAxis(m_Time);
        s->attachAxis(k < m_Poles.size() ? m_Amps : m_PanelAmps);
        if (k >= m_Poles.size()) {  // the panel's phases dashed
            QPen pen = s->pen();
            pen.setStyle(Qt::DashLine);
            s->setPen(pen);
        }
    }
    m_More.resize(m_Series.size());
    setWindowTitle(tr("Trend - Panel %1, breaker %2 %3").arg(letter).arg(m_Breaker + 1).arg(name));
    m_Seen = ~uint64_t{0};
    Redraw();
}

void TrendDlg::Redraw() {
    m_Seen = m_Trend.Generation();
    double lo = INFINITY, hi = -INFINITY, top = 0, panelTop = 0;
    size_t k = 0;
    for (; k < m_Poles.size(); ++k)
        DrawLine(k, m_Trend.BreakerPole(m_Panel, m_Breaker, m_Poles[k]), lo, hi, top);
    for (int ph = 0; k < m_Series.size(); ++k, ++ph)
        DrawLine(k, m_Trend.PanelPhase(m_Panel, ph), lo, hi, panelTop);
    if (lo > hi) {  // nothing yet: the last minute
        hi = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
        lo = hi - 60'000;
    } else if (hi - lo < 60'000) {
        hi = lo + 60'000;
    }
    m_Time->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lo)),
                     QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(hi)));
    m_Amps->setRange(0, top > 0 ? top * 1.1 : 1.0);
    m_PanelAmps->setRange(0, panelTop > 0 ? panelTop * 1.1 : 1.0);
}

std::vector<QLineSeries*> TrendDlg::Pieces(size_t line) const {
    if (line >= m_Series.size()) return {};
    std::vector<QLineSeries*> pieces{m_Series[line]};
    pieces.insert(pieces.end(), m_More[line].begin(), m_More[line].end());
    return pieces;
}

void TrendDlg::DrawLine(size_t k, const std::vector<TrendPoint>& points, double& lo, double& hi,
                        double& top) {
    const std::vector<QList<QPointF>> pieces = Split(points, lo, hi, top);
    QLineSeries* first = m_Series[k];
    std::vector<QLineSeries*>& more = m_More[k];
    while (more.size() + 1 > pieces.size()) {
        m_Chart->removeSeries(more.back());
        delete more.back();
        more.pop_back();
    }
    while (more.size() + 1 < pieces.size()) {
        auto* s = new QLineSeries(m_Chart);
        m_Chart->addSeries(s);
        s->attachAxis(m_Time);
        s->attachAxis(k < m_Poles.size() ? m_Amps : m_PanelAmps);
        s->setPen(first->pen());  // the same line, only broken
        for (QLegendMarker* marker : m_Chart->legend()->markers(s))
            marker->setVisible(false);
        more.push_back(s);
    }
    first->replace(pieces[0]);
    for (size_t i = 1; i < pieces.size(); ++i)
        more[i - 1]->replace(pieces[i]);
}

void TrendDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::PaletteChange) return;
    ApplyPalette();
    if (!m_Series.empty()) Rebuild();  // the theme recoloured the series
}

void TrendDlg::ApplyPalette() {
    const QPalette p = palette();
    m_Chart->setTheme(p.color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                                  : QChart::ChartThemeLight);
    m_Chart->setBackgroundBrush(p.window());
    m_Chart->setPlotAreaBackgroundBrush(p.base());
    m_Chart->setPlotAreaBackgroundVisible(true);
    m_Chart->setTitleBrush(p.windowText());
    m_Chart->legend()->setLabelColor(p.color(QPalette::WindowText));
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(m_Time), static_cast<QAbstractAxis*>(m_Amps),
          static_cast<QAbstractAxis*>(m_PanelAmps)}) {
        axis->setLabelsBrush(p.text());
        axis->setTitleBrush(p.windowText());
        axis->setGridLineColor(p.color(QPalette::Mid));
        if (axis == m_PanelAmps) axis->setGridLineVisible(false);
        axis->setLinePenColor(p.color(QPalette::WindowText));
    }
    m_View->setBackgroundBrush(p.window());
}

}  // namespace jvo::monitor::qt
