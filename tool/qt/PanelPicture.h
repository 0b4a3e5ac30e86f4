#pragma once
// The panel picture's control (the bitmap control): an off-screen image of the picture's size
// that the core's UserMap draws into through MapCanvas, copied to the screen in one step when the
// widget paints. The core may draw from the worker thread that runs a workflow; every canvas
// operation is carried to the UI thread (and waits there), so the image is only ever touched on
// the UI thread. Mouse input is passed on as signals in picture pixels, and so are the keys the
// picture takes while it has the focus: the arrows, Enter (also with the window's Enter shortcut
// about) and the menu key. Its tooltips come from a source the application gives it.
//
// The picture has its described size (475 x 864 or 342 x 648) whenever the window has the room;
// in a window too low for it (a laptop at 150 %) it shrinks with the window's height, down to
// half its size, keeping its proportions. Either way the image has one pixel per device pixel on
// the screen, drawn anew at that resolution, so it is never a scaled bitmap.
#include <QImage>
#include <QWidget>
#include <functional>
#include <map>
#include <tuple>

#include "tool/UserMap.h"
#include "tool/qt/SlotPainter.h"

namespace jvo::tool::qt {

class PanelPicture final : public QWidget, public MapCanvas {
    Q_OBJECT
public:
    PanelPicture(bool compact, QWidget* parent);

    // MapCanvas (any thread).
    void Clear(const MapColour& colour) override;
    void Frame(const MapRect& rect, const MapColour& colour, int penWidth, bool inset) override;
    void Image(const SlotImage& image, const MapRect& rect) override;
    void Text(const MapRect& rect, const std::string& text) override;
    void Repaint() override;

    const QImage& Picture() const { return m_Image; }
    // Centre of a slot in picture pixels.
    static QPoint SlotCentre(const UserMap& map, const Slot& slot);
    // The picture's scale on the window: 1 at its described size.
    qreal Zoom() const { return m_Zoom; }
    QSize sizeHint() const override { return m_Base; }
    // The tooltip at a point in picture pixels; an empty text shows none.
    void SetTipSource(std::function<QString(int x, int y)> source) { m_Tips = std::move(source); }

signals:
    void MouseMoved(int x, int y);
    void MouseLeft();
    void LeftReleased(int x, int y);
    void LeftDoubleClicked(int x, int y);
    void RightReleased(int x, int y, int screenX, int screenY);
    // A key for UserMap::OnKey (its MapKey as an int), and the menu key.
    void KeyPressed(int mapKey);
    void MenuKeyPressed();
    // The palette or the pixel ratio changed: the picture has to be drawn again.
    void NeedsRedraw();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QColor ColourOf(const MapColour& colour) const;
    // True when the image had to be made anew (a new scale or pixel ratio).
    bool EnsureImage();
    const QImage& SlotImageFor(const SlotImage& image);
    QPoint ToPicture(const QPointF& widget) const;

    bool m_Compact;
    QSize m_Base;  // the described size, in picture pixels
    qreal m_Zoom = 1.0;
    QImage m_Image;
    PictureColours m_Colours;
    std::map<std::tuple<int, bool, bool>, QImage> m_Slots;  // (poles, mirrored, hover)
    std::function<QString(int, int)> m_Tips;
    bool m_KeyFocus = false;  // the focus came from the keyboard: the focus mark is drawn
};

}  // namespace jvo::tool::qt
