// Window sizes that fit the screen.
#include "qtcommon/WindowFit.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLayout>
#include <QMessageBox>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QWidget>

namespace jvo::qt {

QRect FitArea(const QScreen* screen) {
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return screen->availableGeometry().adjusted(kBorderReserve, kTitleBarReserve, -kBorderReserve,
                                                -kBorderReserve);
}

QSize FitSize(const QWidget* window, QSize wanted) {
    const QRect area = FitArea(window->screen());
    return area.isEmpty() ? wanted : wanted.boundedTo(area.size());
}

namespace {

// QScrollArea's own resizing gives contents whose height depends on their width (a wrapped
// label) their preferred height, never less, so a low window would scroll rather than let the
// contents shrink. This one gives them the viewport's size, down to their minimum size.
class FitScrollArea final : public QScrollArea {
public:
    explicit FitScrollArea(QWidget* parent) : QScrollArea(parent) {}

    void Hold(QWidget* content) {
        setWidget(content);
        content->installEventFilter(this);
        Fit();
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QScrollArea::resizeEvent(e);
        Fit();
    }
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == widget() && e->type() == QEvent::LayoutRequest) Fit();
        return QScrollArea::eventFilter(watched, e);
    }

private:
    void Fit() {
        QWidget* w = widget();
        if (!w) return;
        const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize());
        QSize size = viewport()->size().expandedTo(least);
        // A wrapped label needs more lines in less width.
        if (const QLayout* l = w->layout(); l && l->hasHeightForWidth())
            size.setHeight(std::max(size.height(), l->totalMinimumHeightForWidth(size.width())));
        if (w->size() != size) w->resize(size);
    }
};

}  // namespace

QScrollArea* ScrollingArea(QWidget* content, QWidget* parent) {
    auto* area = new FitScrollArea(parent);
    area->setObjectName(QStringLiteral("fitScroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->Hold(content);
    return area;
}

void ShowWholeTitle(QMessageBox* box) {
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    if (!grid) return;
    // The title bar's font is the desktop's, often bold and larger than the box's; its buttons
    // (close, and on some desktops minimise and maximise) and the icon take about twelve lines'
    // height beside it.
    QFont font = box->font();
    font.setBold(true);
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(box->windowTitle()) * 5 / 4 + 12 * fm.height();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace jvo::qt
