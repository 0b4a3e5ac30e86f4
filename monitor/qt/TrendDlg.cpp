// The trend window.
#include "monitor/qt/TrendDlg.h"

#include <QBuffer>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "monitor/qt/DumpSave.h"
#include "monitor/qt/TrendChart.h"

namespace jvo::monitor::qt {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QPushButton* Button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TrendDlg::TrendDlg(const TrendBuffer& trend, const UnitConfig& config, QWidget* parent)
    : QDialog(parent), m_Trend(trend), m_Config(config) {
    setObjectName(QStringLiteral("trendDlg"));
    setWindowTitle(tr("Trend"));
    m_Choice = new QComboBox(this);
    m_Choice->setObjectName(QStringLiteral("trendBreaker"));
    m_Chart = new TrendChart(this);
    m_Readout = new QLabel(this);
    m_Readout->setObjectName(QStringLiteral("trendReadout"));
    m_Readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* zoomOut = Button(tr("Zoom &Out"), "trendZoomOut", this);
    QPushButton* live = Button(tr("&Live"), "trendLive", this);
    QPushButton* png = Button(tr("Export &PNG..."), "trendPng", this);
    QPushButton* csv = Button(tr("Export &CSV..."), "trendCsv", this);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Breaker:"), this));
    top->addWidget(m_Choice, 1);
    for (QPushButton* b : {zoomOut, live, png, csv})
        top->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_Chart, 1);
    layout->addWidget(m_Readout);
    resize(820, 480);

    connect(m_Choice, &QComboBox::activated, this, [this](int i) { ShowBreaker(m_Panel, i); });
    connect(m_Chart, &TrendChart::ZoomWanted, this, &TrendDlg::OnZoom);
    connect(m_Chart, &TrendChart::ZoomOutWanted, this, &TrendDlg::OnZoomOut);
    connect(m_Chart, &TrendChart::CursorMoved, this, &TrendDlg::OnCursor);
    connect(zoomOut, &QPushButton::clicked, this, &TrendDlg::OnZoomOut);
    connect(live, &QPushButton::clicked, this, &TrendDlg::OnLive);
    connect(png, &QPushButton::clicked, this, &TrendDlg::OnExportPng);
    connect(csv, &QPushButton::clicked, this, &TrendDlg::OnExportCsv);
    connect(&m_Timer, &QTimer::timeout, this, [this] {
        if (m_Trend.Generation() != m_Seen) Redraw();
    });
    m_Timer.start(kRedrawMs);
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
    const QString name = m_Breaker < rec.UsedBreakers() ? Q(rec.m_Breakers[m_Breaker].m_Name) : "";
    setWindowTitle(tr("Trend - Panel %1, breaker %2 %3")
                       .arg(QLatin1Char(static_cast<char>('A' + m_Panel)))
                       .arg(m_Breaker + 1)
                       .arg(name));
    Redraw();
}

const std::vector<QLineSeries*>& TrendDlg::Series() const {
    return m_Chart->Series();
}

std::vector<QLineSeries*> TrendDlg::Pieces(size_t line) const {
    return m_Chart->Pieces(line);
}

void TrendDlg::Redraw() {
    m_Seen = m_Trend.Generation();
    m_Lines = TrendLines(m_Trend, m_Config, m_Panel, m_Breaker);
    const std::optional<double> alarm = AlarmAmps(m_Config, m_Panel, m_Breaker);
    m_Chart->Show(m_Lines, alarm, m_View.Fit(m_Lines, alarm, QDateTime::currentMSecsSinceEpoch()));
}

void TrendDlg::OnZoom(int64_t loMs, int64_t hiMs) {
    m_View.ZoomTo(loMs, hiMs);
    Redraw();
}

void TrendDlg::OnZoomOut() {
    m_View.ZoomOut();
    Redraw();
}

void TrendDlg::OnLive() {
    m_View.Live();
    Redraw();
}

void TrendDlg::OnCursor(std::optional<int64_t> timeMs) {
    m_Chart->SetCursor(timeMs);
    if (!timeMs) {
        m_Readout->clear();
        return;
    }
    const std::string values =
        ReadoutText(m_Lines, ValuesAt(m_Lines, *timeMs, 3 * TrendBuffer::kStepMs / 2));
    m_Readout->setText(
        QDateTime::fromMSecsSinceEpoch(*timeMs).toString(QStringLiteral("HH:mm:ss")) +
        QStringLiteral("   ") + Q(values));
}

void TrendDlg::OnExportPng() {
    SaveDump(this, DumpKind::TrendPng, [this] {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        m_Chart->grab().save(&buffer, "PNG");
        return bytes.toStdString();
    });
}

void TrendDlg::OnExportCsv() {
    SaveDump(this, DumpKind::TrendCsv, [this] { return TrendCsv(m_Lines); });
}

}  // namespace jvo::monitor::qt
