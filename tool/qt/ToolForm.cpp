// The main window's controls and their arrangement.
#include "tool/qt/ToolForm.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "tool/ToolUi.h"
#include "tool/qt/PanelPicture.h"

namespace jvo::tool::qt {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetricsF fm(font);
    x = fm.averageCharWidth() / 4.0;
    y = fm.height() / 8.0;
}

ToolForm::ToolForm(WindowLayout layout, QWidget* parent) : QWidget(parent), m_Du(font()) {
    const bool compact = layout == WindowLayout::COMPACT;
    m_Picture = new PanelPicture(compact, this);
    m_Controls[IDC_PICTURE] = m_Picture;
    // The placeholder gives the picture its area; it is never shown itself.
    auto* placeholder = new QWidget(this);
    placeholder->hide();
    m_Controls[IDC_PLACEHOLDER] = placeholder;

    // Created in tab order: panel and view, unit, panel, breaker, then the file buttons.
    QWidget* selectors = BuildSelectors();
    QWidget* unit = BuildUnitGroup();
    QWidget* panel = BuildPanelGroup();
    QWidget* breaker = BuildBreakerGroup();
    QWidget* bottom = BuildBottom();
    auto* right = new QVBoxLayout;
    right->setSpacing(m_Du.Y(compact ? 2 : 5));
    for (QWidget* w : {selectors, unit, panel})
        right->addWidget(w);

    auto* top = new QHBoxLayout(this);
    const int margin = m_Du.X(compact ? 4 : 7);
    top->setContentsMargins(margin, margin, margin, margin);
    top->setSpacing(m_Du.X(compact ? 5 : 10));
    top->addWidget(m_Picture, 0, Qt::AlignTop);
    if (compact) {
        // A low screen: the breaker group stands in a column of its own, so the window is no
        // taller than the picture and the unit and panel groups.
        right->addStretch();
        right->addWidget(bottom);
        top->addLayout(right, 1);
        top->addWidget(breaker, 1, Qt::AlignTop);
    } else {
        right->addWidget(breaker);
        right->addStretch();
        right->addWidget(bottom);
        top->addLayout(right, 1);
    }
}

QWidget* ToolForm::Control(int id) const {
    const auto it = m_Controls.find(id);
    return it == m_Controls.end() ? nullptr : it->second;
}

QLineEdit* ToolForm::Edit(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}
QAbstractButton* ToolForm::Button(int id) const {
    return qobject_cast<QAbstractButton*>(Control(id));
}

QLineEdit* ToolForm::AddEdit(int id, int widthUnits) {
    auto* e = new QLineEdit(this);
    e->setMinimumWidth(m_Du.X(widthUnits));
    m_Controls[id] = e;
    return e;
}

QAbstractButton* ToolForm::AddButton(int id, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setAutoDefault(false);  // Enter belongs to the window (apply), not to the focused button
    connect(b, &QPushButton::clicked, this, [this, id] { emit Command(id); });
    m_Controls[id] = b;
    return b;
}

QWidget* ToolForm::EditButtons(int edit, int cancel, int apply) {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addStretch();
    h->addWidget(AddButton(edit, tr("Edit")));
    h->addWidget(AddButton(cancel, tr("Cancel")));
    h->addWidget(AddButton(apply, tr("Apply")));
    return row;
}

QWidget* ToolForm::BuildSelectors() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    const struct {
        const char* title;
        int first, second;
        const char *a, *b;
    } groups[] = {
        {"Select Panel", IDC_PANEL_A, IDC_PANEL_B, "&A Panel", "&B Panel"},
        {"Select View", IDC_VIEW_PANEL, IDC_VIEW_AUX, "&Panel Breakers", "Auxiliar&y Breakers"}};
    for (const auto& g : groups) {
        auto* box = new QGroupBox(tr(g.title), row);
        auto* v = new QVBoxLayout(box);
        // The core sets the checks; the buttons only report clicks.
        auto* exclusive = new QButtonGroup(box);
        for (auto [id, caption] : {std::pair{g.first, g.a}, std::pair{g.second, g.b}}) {
            auto* r = new QRadioButton(tr(caption), box);
            exclusive->addButton(r);
            connect(r, &QRadioButton::clicked, this, [this, id] { emit Command(id); });
            m_Controls[id] = r;
            v->addWidget(r);
        }
        h->addWidget(box);
    }
    return row;
}

namespace {
QLabel* Label(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    if (buddy) l->setBuddy(buddy);
    return l;
}
}  // namespace

QWidget* ToolForm::BuildUnitGroup() {
    auto* box = new QGroupBox(tr("Unit Properties"), this);
    auto* g = new QGridLayout(box);
    QLineEdit* name = AddEdit(IDC_UNIT_NAME, 110);
    QLineEdit* dip = AddEdit(IDC_DIP_ADDRESS, 40);
    QLineEdit* address = AddEdit(IDC_SW_ADDRESS, 40);
    g->addWidget(Label(tr("JVO Unit &Name:"), name, box), 0, 0);
    g->addWidget(name, 0, 1, 1, 2);
    g->addWidget(Label(tr("DIP Switch Address:"), nullptr, box), 1, 0);
    g->addWidget(dip, 1, 1);
    g->addWidget(Label(tr("&Software Address:"), address, box), 2, 0);
    g->addWidget(address, 2, 1);
    auto* note = new QLabel(box);
    note->setWordWrap(true);
    note->setMinimumWidth(m_Du.X(150));
    m_Controls[IDC_DIP_NOTE] = note;
    g->addWidget(note, 3, 0, 1, 3);
    g->addWidget(EditButtons(IDC_UNIT_EDIT, IDC_UNIT_CANCEL, IDC_UNIT_APPLY), 4, 0, 1, 3);
    g->setColumnStretch(2, 1);
    return box;
}

QWidget* ToolForm::BuildPanelGroup() {
    auto* box = new QGroupBox(tr("Panel Properties"), this);
    auto* g = new QGridLayout(box);
    QLineEdit* name = AddEdit(IDC_PANEL_NAME, 110);
    QLineEdit* password = AddEdit(IDC_PASSWORD, 70);
    password->setEchoMode(QLineEdit::Password);
    g->addWidget(Label(tr("Panel Na&me:"), name, box), 0, 0);
    g->addWidget(name, 0, 1, 1, 2);
    g->addWidget(Label(tr("Pass&word:"), password, box), 1, 0);
    g->addWidget(password, 1, 1);
    g->addWidget(EditButtons(IDC_PANEL_EDIT, IDC_PANEL_CANCEL, IDC_PANEL_APPLY), 2, 0, 1, 3);
    g->setColumnStretch(2, 1);
    return box;
}

QWidget* ToolForm::BuildBreakerGroup() {
    auto* box = new QGroupBox(tr("Breaker Properties"), this);
    auto* g = new QGridLayout(box);
    QLineEdit* name = AddEdit(IDC_BREAKER_NAME, 110);
    g->addWidget(Label(tr("Brea&ker Name:"), name, box), 0, 0);
    g->addWidget(name, 0, 1, 1, 2);
    // Number rows: the edit, its label (with identifier when the core enables it) and its unit.
    const struct {
        int edit;
        const char* label;
        int labelId;
        const char* unit;
        int unitId;
    } rows[] = {
        {IDC_POSITION, "Position:", IDC_POSITION_LABEL, "", 0},
        {IDC_POLES, "Number of Poles:", 0, "", 0},
        {IDC_RATING, "Breaker &Rating:", 0, "Amps", 0},
        {IDC_OC_ALARM, "Phase &Over Current Alarm:", 0, "%", 0},
        {IDC_OC_WARNING, "Phase Over Current Warnin&g:", 0, "%", 0},
        {IDC_UC_ALARM, "Phase &Under Current Alarm:", IDC_UC_LABEL, "%", IDC_UC_UNIT},
        {IDC_NEUTRAL_ALARM, "Neu&tral Current Alarm:", IDC_NEUTRAL_LABEL, "%", IDC_NEUTRAL_UNIT},
        {IDC_GROUND_ALARM, "Groun&d Current Alarm:", IDC_GROUND_LABEL, "Amps", IDC_GROUND_UNIT},
        {IDC_HYSTERESIS, "Hyst&eresis Interval:", 0, "Seconds", 0},
    };
    int r = 1;
    for (const auto& row : rows) {
        QLineEdit* e = AddEdit(row.edit, 40);
        QLabel* label = Label(tr(row.label), e, box);
        QLabel* unit = new QLabel(tr(row.unit), box);
        if (row.labelId) m_Controls[row.labelId] = label;
        if (row.unitId) m_Controls[row.unitId] = unit;
        g->addWidget(label, r, 0);
        g->addWidget(e, r, 1);
        g->addWidget(unit, r, 2);
        ++r;
    }
    g->addWidget(EditButtons(IDC_BREAKER_EDIT, IDC_BREAKER_CANCEL, IDC_BREAKER_APPLY), r, 0, 1, 3);
    g->setColumnStretch(2, 1);
    return box;
}

QWidget* ToolForm::BuildBottom() {
    auto* w = new QWidget(this);
    auto* g = new QGridLayout(w);
    g->setContentsMargins(0, 0, 0, 0);
    g->addWidget(AddButton(IDC_LOAD, tr("&Load from File")), 0, 0);
    g->addWidget(AddButton(IDC_INSTALL, tr("&Install to Unit")), 0, 1);
    g->addWidget(AddButton(IDC_SAVE, tr("Sa&ve to File")), 1, 0);
    g->addWidget(AddButton(IDC_EXIT, tr("E&xit")), 1, 1);
    auto* version = new QLabel(w);
    version->setAlignment(Qt::AlignCenter);
    m_Controls[IDC_VERSION] = version;
    g->addWidget(version, 2, 0, 1, 2);
    return w;
}

}  // namespace jvo::tool::qt
