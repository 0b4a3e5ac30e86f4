// The connect dialog's controls.
#include "tool/qt/ConnectDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "qtcommon/PortList.h"
#include "tool/Texts.h"

namespace jvo::tool::qt {

ConnectDlg::ConnectDlg(const std::vector<QString>& labels, const std::vector<PortEntry>& entries,
                       int selected, const std::vector<QString>& recent, QWidget* parent)
    : QDialog(parent), m_Ports(new QComboBox(this)), m_Recent(new QComboBox(this)) {
    setObjectName(QStringLiteral("ConnectDlg"));
    setWindowTitle(QString::fromUtf8(text::kConnectTitle));
    SetPorts(labels, entries, selected);
    m_Ports->setObjectName(QStringLiteral("ports"));
    m_Ports->setMinimumContentsLength(24);

    auto* portBox = new QGroupBox(tr("Select JVO Port"), this);
    auto* form = new QFormLayout(portBox);
    auto* portLabel = new QLabel(tr("&COM Port:"), portBox);
    portLabel->setBuddy(m_Ports);
    auto* connectButton = new QPushButton(tr("C&onnect"), portBox);
    connectButton->setObjectName(QStringLiteral("connect"));
    connectButton->setDefault(true);
    form->addRow(portLabel, m_Ports);
    form->addRow(QString(), connectButton);
    if (PortPinsSupported()) {
        // Pinning the selected adapter keeps its number when other adapters come and go.
        const jvo::qt::PinRow pin = jvo::qt::MakePinRow(portBox, tr("&Pin Adapter"));
        m_PinNumber = pin.number;
        auto* pinLabel = new QLabel(tr("Pin &as:"), portBox);
        pinLabel->setBuddy(m_PinNumber);
        form->addRow(pinLabel, pin.layout);
        connect(pin.button, &QPushButton::clicked, this, [this] { Report(PIN); });
    }

    auto* recentBox = new QGroupBox(tr("Recent Connections"), this);
    auto* recentRow = new QHBoxLayout(recentBox);
    m_Recent->setObjectName(QStringLiteral("recent"));
    for (const QString& r : recent)
        m_Recent->addItem(r);
    auto* again = new QPushButton(tr("Co&nnect Again"), recentBox);
    again->setObjectName(QStringLiteral("connectRecent"));
    again->setAutoDefault(false);
    recentRow->addWidget(m_Recent, 1);
    recentRow->addWidget(again);
    recentBox->setVisible(!recent.empty());
    connect(again, &QPushButton::clicked, this, [this] { Report(RECENT); });

    auto* offlineBox = new QGroupBox(tr("Work Offline"), this);
    auto* v = new QVBoxLayout(offlineBox);
    auto* note = new QLabel(QString::fromUtf8(text::kWorkOfflineNote), offlineBox);
    note->setWordWrap(true);
    auto* offline = new QPushButton(tr("&Work Offline"), offlineBox);
    offline->setObjectName(QStringLiteral("offline"));
    offline->setAutoDefault(false);
    v->addWidget(note);
    v->addWidget(offline, 0, Qt::AlignRight);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(portBox);
    layout->addWidget(recentBox);
    layout->addWidget(offlineBox);
    connect(connectButton, &QPushButton::clicked, this, [this] { Report(CONNECT); });
    connect(offline, &QPushButton::clicked, this, [this] { Report(OFFLINE); });
    setWindowModality(Qt::ApplicationModal);
}

void ConnectDlg::NextAction(std::function<void(int)> done) {
    m_Done = std::move(done);
    if (!isVisible()) show();
    m_Ports->setFocus();
}

void ConnectDlg::SetPorts(const std::vector<QString>& labels, const std::vector<PortEntry>& entries,
                          int selected) {
    jvo::qt::FillPortCombo(m_Ports, labels, entries);
    if (selected >= 0 && selected < m_Ports->count()) m_Ports->setCurrentIndex(selected);
}

int ConnectDlg::SelectedIndex() const {
    return m_Ports->currentIndex();
}

int ConnectDlg::RecentIndex() const {
    return m_Recent->currentIndex();
}

int ConnectDlg::PinNumber() const {
    return m_PinNumber ? m_PinNumber->value() : 0;
}

void ConnectDlg::Report(int action) {
    if (!m_Done) return;  // the worker is busy with the previous button
    auto done = std::move(m_Done);
    m_Done = nullptr;
    done(action);
}

void ConnectDlg::reject() {
    // Escape or the close box: the dialog closes as cancelled.
    if (!m_Done) return;
    hide();
    Report(CANCEL);
}

}  // namespace jvo::tool::qt
