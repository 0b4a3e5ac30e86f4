// The breaker and subfeed lists.
#include "monitor/qt/ReadingsList.h"

#include <QAction>
#include <QHeaderView>
#include <QListView>
#include <QStyledItemDelegate>
#include <QTableView>

#include "monitor/qt/ReadingCellDelegate.h"

namespace jvo::monitor::qt {

namespace {

// The icon view shows the names left-aligned beside their icons (the table right-aligns them).
class IconViewDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    }
};

}  // namespace

ReadingsList::ReadingsList(const QStringList& heads, const std::vector<int>& widths, IconSet icons,
                           QWidget* parent)
    : QStackedWidget(parent),
      m_Model(new RowsModel(heads, icons, this)),
      m_Table(new QTableView(this)),
      m_IconView(new QListView(this)) {
    m_Table->setModel(m_Model);
    m_Table->setShowGrid(true);
    m_Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_Table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_Table->setWordWrap(false);
    ReadingCellDelegate::Install(m_Table);  // the cells and the grid
    m_Table->verticalHeader()->hide();
    m_Table->verticalHeader()->setDefaultSectionSize(m_Table->fontMetrics().height() + 6);
    m_Table->horizontalHeader()->setHighlightSections(false);
    m_Table->horizontalHeader()->setStretchLastSection(false);
    m_Table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The last column (kWH) also fits a meter of six digits in this font.
    const int kwh = m_Table->fontMetrics().horizontalAdvance(QStringLiteral("888888.888")) + 12;
    for (size_t c = 0; c < widths.size(); ++c)
        m_Table->setColumnWidth(static_cast<int>(c),
                                c + 1 == widths.size() ? std::max(widths[c], kwh) : widths[c]);

    m_IconView->setModel(m_Model);
    m_IconView->setModelColumn(0);
    m_IconView->setViewMode(QListView::ListMode);
    m_IconView->setFlow(QListView::TopToBottom);
    m_IconView->setWrapping(true);
    m_IconView->setResizeMode(QListView::Adjust);
    m_IconView->setUniformItemSizes(true);
    m_IconView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_IconView->setIconSize(QSize(16, 16));
    m_IconView->setItemDelegate(new IconViewDelegate(m_IconView));

    addWidget(m_Table);
    addWidget(m_IconView);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_Table), static_cast<QAbstractItemView*>(m_IconView)}) {
        connect(view, &QAbstractItemView::doubleClicked, this, &ReadingsList::Activate);
        auto* open = new QAction(view);
        open->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
        open->setShortcutContext(Qt::WidgetShortcut);
        connect(open, &QAction::triggered, this, [this, view] { Activate(view->currentIndex()); });
        view->addAction(open);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            const QModelIndex index = view->indexAt(pos);
            if (index.isValid()) emit RowMenu(index.row(), view->viewport()->mapToGlobal(pos));
        });
    }
    setFocusProxy(m_Table);
}

void ReadingsList::Activate(const QModelIndex& index) {
    if (index.isValid()) emit RowActivated(index.row());
}

int ReadingsList::NameColumnWidth() const {
    const QFontMetrics fm = m_Table->fontMetrics();
    int widest = fm.horizontalAdvance(m_Model->Heads().value(0));
    for (int r = 0; r < m_Model->rowCount(); ++r)
        widest = std::max(widest, fm.horizontalAdvance(m_Model->Text(r, 0)));
    return widest + (IconView() ? 48 : 32);
}

void ReadingsList::FitNameColumn() {
    const int width = NameColumnWidth();
    if (IconView()) {
        m_IconView->setGridSize(QSize(width, std::max(20, m_IconView->fontMetrics().height() + 4)));
    } else {
        m_Table->setColumnWidth(0, width);
    }
}

void ReadingsList::SetIconView(bool icons) {
    const bool focused = currentWidget()->hasFocus();
    setCurrentWidget(icons ? static_cast<QWidget*>(m_IconView) : m_Table);
    setFocusProxy(currentWidget());
    FitNameColumn();
    if (focused) currentWidget()->setFocus();
}

}  // namespace jvo::monitor::qt
