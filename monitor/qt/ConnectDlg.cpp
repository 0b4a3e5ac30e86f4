// The connect dialog's controls.
#include "monitor/qt/ConnectDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "link/PortDirectory.h"
#include "qtcommon/PortList.h"

namespace jvo::monitor::qt {

namespace {

// The devices behind the listed numbers (looked up, not opened again).
std::vector<PortEntry> Devices(const std::vector<PortItem>& ports) {
    const std::vector<PortEntry> known = ListComPorts();
    std::vector<PortEntry> out;
    for (const PortItem& item : ports) {
        PortEntry e;
        e.number = item.m_Port;
        for (const PortEntry& k : known)
            if (k.number == item.m_Port) e = k;
        out.push_back(e);
    }
    return out;
}

}  // namespace

ConnectDlg::ConnectDlg(const ConnectDlgState& state, QWidget* parent)
    : QDialog(parent),
      m_Com(new QRadioButton(tr("&COM Port"), this)),
      m_Proxy(new QRadioButton(tr("VOZ &Proxy"), this)),
      m_Ports(new QComboBox(this)),
      m_Server(new QLineEdit(this)),
      m_TlsCa(new QLineEdit(this)),
      m_TlsCert(new QLineEdit(this)),
      m_TlsKey(new QLineEdit(this)),
      m_Connect(new QPushButton(tr("C&onnect"), this)),
      m_Cancel(new QPushButton(tr("Cancel"), this)),
      m_Status(new QLabel(this)),
      m_Recent(new QComboBox(this)) {
    setObjectName(QStringLiteral("ConnectDlg"));
    setWindowTitle(tr("Connect to JVO"));
    ShowPorts(state);
    m_Ports->setMinimumContentsLength(28);
    // The recent routes this dialog can show (a serial device given on the command line has no
    // field here).
    m_Recent->setObjectName(QStringLiteral("recent"));
    for (const Route& r : state.m_Recent) {
        if (r.m_Kind == Route::DEVICE) continue;
        m_Routes.push_back(r);
        m_Recent->addItem(QString::fromStdString(RouteLabel(r)));
    }
    auto* recentLabel = new QLabel(tr("&Recent:"), this);
    recentLabel->setBuddy(m_Recent);
    recentLabel->setVisible(!m_Routes.empty());
    m_Recent->setVisible(!m_Routes.empty());
    connect(m_Recent, &QComboBox::activated, this, &ConnectDlg::FillFromRecent);
    m_Server->setText(QString::fromStdString(state.m_Server));
    m_Server->setPlaceholderText(tr("host, host:port or tls://host:port"));
    auto* serverLabel = new QLabel(tr("Proxy &Server Name:"), this);
    serverLabel->setBuddy(m_Server);

    auto* grid = new QGridLayout;
    grid->addWidget(recentLabel, 0, 0, Qt::AlignRight);
    grid->addWidget(m_Recent, 0, 1);
    grid->addWidget(m_Com, 1, 0);
    grid->addWidget(m_Ports, 1, 1);
    if (state.m_CanPin) {
        const jvo::qt::PinRow pin = jvo::qt::MakePinRow(this, tr("Pin &Adapter"));
        m_PinNumber = pin.number;
        m_Pin = pin.button;
        grid->addLayout(pin.layout, 2, 1);
        connect(m_Pin, &QPushButton::clicked, this, &ConnectDlg::OnPin);
    }
    grid->addWidget(m_Proxy, 3, 0);
    grid->addWidget(serverLabel, 4, 0, Qt::AlignRight);
    grid->addWidget(m_Server, 4, 1);
    const std::pair<QLineEdit*, QString> tls[] = {
        {m_TlsCa, tr("TLS C&A File:")},
        {m_TlsCert, tr("Client Cer&tificate:")},
        {m_TlsKey, tr("Client &Key:")},
    };
    const std::string files[] = {state.m_Tls.ca, state.m_Tls.cert, state.m_Tls.key};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(tls[i].second, this);
        label->setBuddy(tls[i].first);
        tls[i].first->setText(QString::fromStdString(files[i]));
        tls[i].first->setPlaceholderText(tr("PEM file, for tls://host"));
        grid->addWidget(label, 5 + i, 0, Qt::AlignRight);
        grid->addWidget(tls[i].first, 5 + i, 1);
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_Connect, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_Cancel, QDialogButtonBox::RejectRole);
    m_Connect->setDefault(true);
    m_Status->setObjectName(QStringLiteral("status"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_Status);
    layout->addWidget(buttons);

    connect(m_Com, &QRadioButton::toggled, this, &ConnectDlg::OnRouteChanged);
    connect(m_Connect, &QPushButton::clicked, this, &ConnectDlg::OnConnect);
    connect(m_Cancel, &QPushButton::clicked, this, &ConnectDlg::reject);
    (state.m_UseProxy ? m_Proxy : m_Com)->setChecked(true);
    OnRouteChanged();
    setWindowModality(Qt::ApplicationModal);
}

void ConnectDlg::ShowPorts(const ConnectDlgState& state) {
    std::vector<QString> labels;
    for (const PortItem& p : state.m_Ports)
        labels.push_back(QString::fromStdString(p.m_Label));
    jvo::qt::FillPortCombo(m_Ports, labels, Devices(state.m_Ports));
    m_Ports->setCurrentIndex(state.m_Selected);
}

void ConnectDlg::FillFromRecent(int index) {
    if (index < 0 || index >= static_cast<int>(m_Routes.size())) return;
    const Route& r = m_Routes[static_cast<size_t>(index)];
    if (r.m_Kind == Route::COM) {
        const int at = m_Ports->findData(r.m_Port);
        if (at >= 0) m_Ports->setCurrentIndex(at);
        m_Com->setChecked(true);
        m_Status->setText(at >= 0 ? QString() : tr("COM%1 cannot be opened now").arg(r.m_Port));
        return;
    }
    m_Proxy->setChecked(true);
    m_Server->setText(QString::fromStdString(r.m_Host));
    m_TlsCa->setText(QString::fromStdString(r.m_Tls.ca));
    m_TlsCert->setText(QString::fromStdString(r.m_Tls.cert));
    m_TlsKey->setText(QString::fromStdString(r.m_Tls.key));
    m_Status->clear();
}

void ConnectDlg::OnPin() {
    if (!m_Done || !m_PinNumber) return;
    ConnectChoice c;
    c.m_Kind = ConnectChoice::PIN;
    c.m_Selected = m_Ports->currentIndex();
    c.m_PinNumber = m_PinNumber->value();
    SetWaiting(true);
    auto done = std::move(m_Done);
    m_Done = nullptr;
    done(c);
}

void ConnectDlg::NextAction(const ConnectDlgState& state, std::function<void(ConnectChoice)> done) {
    m_Done = std::move(done);
    // After a pin the list has the new number, selected.
    bool samePorts = m_Ports->count() == static_cast<int>(state.m_Ports.size());
    for (int i = 0; samePorts && i < m_Ports->count(); ++i)
        samePorts = m_Ports->itemData(i).toInt() == state.m_Ports[static_cast<size_t>(i)].m_Port;
    if (!samePorts) ShowPorts(state);
    SetWaiting(false);
    if (!isVisible()) show();
    switch (state.m_Focus) {
        case ConnectFocus::PortList:
            m_Ports->setFocus();
            break;
        case ConnectFocus::ServerName:
            m_Server->setFocus();
            m_Server->selectAll();
            break;
        case ConnectFocus::Connect:
            m_Connect->setFocus();
            break;
    }
}

void ConnectDlg::OnRouteChanged() {
    const bool com = m_Com->isChecked();
    m_Ports->setEnabled(com);
    if (m_PinNumber) m_PinNumber->setEnabled(com);
    if (m_Pin) m_Pin->setEnabled(com);
    m_Server->setEnabled(!com);
    for (QLineEdit* e : {m_TlsCa, m_TlsCert, m_TlsKey})
        e->setEnabled(!com);
}

void ConnectDlg::OnConnect() {
    if (!m_Done) return;  // the previous press is still being tried
    ConnectChoice c;
    c.m_Kind = ConnectChoice::CONNECT;
    c.m_UseProxy = m_Proxy->isChecked();
    c.m_Selected = m_Ports->currentIndex();
    c.m_Server = m_Server->text().trimmed().toStdString();
    c.m_Tls = {m_TlsCa->text().trimmed().toStdString(), m_TlsCert->text().trimmed().toStdString(),
               m_TlsKey->text().trimmed().toStdString()};
    SetWaiting(true);
    auto done = std::move(m_Done);
    m_Done = nullptr;
    done(c);
}

void ConnectDlg::SetWaiting(bool waiting) {
    m_Connect->setEnabled(!waiting);
    m_Status->setText(waiting ? tr("Connecting...") : QString());
    if (waiting)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void ConnectDlg::reject() {
    // Escape or the close box: cancelled, unless a press is still being tried.
    if (!m_Done) return;
    hide();
    auto done = std::move(m_Done);
    m_Done = nullptr;
    done(ConnectChoice{});
}

}  // namespace jvo::monitor::qt
