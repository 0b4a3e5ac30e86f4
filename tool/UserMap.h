#pragma once
// UserMap: the panel picture. Holds the slots of both panels and their owners, the selected and
// hovered slot per panel and view, hit-tests pointer positions, chooses the context menu for a
// slot and runs its commands through its owner (the main window). It draws through MapCanvas, so
// that a window only has to render what it is told and tests can check what is drawn where.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "config/Slots.h"
#include "config/UnitConfig.h"
#include "tool/ItemKind.h"
#include "tool/Menus.h"
#include "tool/ToolUi.h"

namespace jvo::tool {

struct MapRect {
    int m_Left = 0;
    int m_Top = 0;
    int m_Right = 0;
    int m_Bottom = 0;
    bool operator==(const MapRect&) const = default;
};

struct MapColour {
    uint8_t m_Red = 0;
    uint8_t m_Green = 0;
    uint8_t m_Blue = 0;
    bool operator==(const MapColour&) const = default;
};

constexpr MapColour kMapBackground{192, 192, 192};
constexpr MapColour kMapBorder{64, 64, 64};
constexpr MapColour kMapSelection{240, 240, 120};

// One of the 14 slot images: empty (0 poles) or an owner of 1..3 poles, possibly mirrored, in its
// normal or its under-the-mouse form. An empty slot has no mirrored form. An owner whose poles
// do not all stand in one run of its column is drawn in parts, m_ShownPoles pole rows of its image
// from pole m_FromPole: a sequential panel runs on from slot 21 into slot 22 at the top of the
// right column, and poles past slot 42 are left out. The whole image has m_ShownPoles 0.
struct SlotImage {
    int m_Poles = 0;
    bool m_Mirrored = false;
    bool m_Hover = false;
    int m_FromPole = 0;
    int m_ShownPoles = 0;
    bool operator==(const SlotImage&) const = default;
};

// Resource identifier of an image in the large or the compact variant.
int SlotImageResource(const SlotImage& image, bool compact);

// Where the picture draws. Coordinates are pixels with the origin at the top-left corner.
class MapCanvas {
public:
    virtual ~MapCanvas() = default;
    // Fill the whole image with `colour`.
    virtual void Clear(const MapColour& colour) = 0;
    // Outline `rect` with a pen of `penWidth`; with `inset` the rectangle's left and top grow by
    // 1 and its right and bottom by 1 - penWidth first.
    virtual void Frame(const MapRect& rect, const MapColour& colour, int penWidth, bool inset) = 0;
    // Copy `image` with its own size to the rectangle (whose size is the image's).
    virtual void Image(const SlotImage& image, const MapRect& rect) = 0;
    // Black text on a transparent background, centred on one line in `rect`.
    virtual void Text(const MapRect& rect, const std::string& text) = 0;
    // Show the drawn image on the screen.
    virtual void Repaint() = 0;
};

// What the picture needs of the main window.
class MapOwner {
public:
    virtual ~MapOwner() = default;
    // False when the item could not be selected (an open edit failed its check on the way).
    virtual bool SelectItem(int index, ItemKind kind) = 0;
    virtual bool EndEdit(int mode) = 0;
    virtual bool BeginEdit(int group) = 0;
    virtual bool IsEditOpen() const = 0;
    virtual int AddBreaker(int panel, int display, int poles, int slotIndex) = 0;
    virtual int AddSubfeed(int panel, const Slot& slot) = 0;
    virtual bool DeleteBreaker(int panel, int index) = 0;
    virtual bool DeleteSubfeed(int panel, int index) = 0;
    virtual bool CanAddSubfeed(int panel) const = 0;
    virtual void ShowMessage(const std::string& text, MsgIcon icon) = 0;
    virtual int TrackContextMenu(int subMenu, int screenX, int screenY) = 0;
    // True while the user's input is refused (a workflow runs on another thread); the mouse
    // entry points then do nothing.
    virtual bool InputRefused() const = 0;
};

class UserMap {
public:
    static constexpr int kLargeWidth = 475;
    static constexpr int kLargeHeight = 864;
    static constexpr int kCompactWidth = 342;
    static constexpr int kCompactHeight = 648;

    UserMap(MapOwner& owner, bool compact, MapCanvas* canvas = nullptr);
    UserMap(const UserMap&) = delete;
    UserMap& operator=(const UserMap&) = delete;

    // The configuration shown (the main window's); null until one is taken over.
    void SetConfig(UnitConfig* config) { m_Config = config; }
    void SetCanvas(MapCanvas* canvas) { m_Canvas = canvas; }
    // Panel 0/1 and view 0 (panel breakers) / 1 (auxiliary breakers); other values are ignored.
    void SetPanel(int panel);
    void SetView(int view);
    int Panel() const { return m_Panel; }
    int View() const { return m_View; }
    bool Compact() const { return m_Compact; }
    int Width() const { return m_Compact ? kCompactWidth : kLargeWidth; }
    int Height() const { return m_Compact ? kCompactHeight : kLargeHeight; }

    // Recomputes the owners of every slot of both panels from the configuration.
    void ReloadSlots();
    // Forgets the selected and hovered slots of every panel and view.
    void ClearSelections();
    void RedrawMap();

    // Pixel rectangle of grid cells (c1, r1)-(c2, r2).
    MapRect GridRect(int c1, int r1, int c2, int r2) const;
    // The slot of the current panel and view at pixel (x, y), or null.
    Slot* HitTest(int x, int y);
    // The context menu for `slot` of the current panel and view.
    int ContextMenuFor(const Slot* slot) const;

    // The mouse entry points do nothing while the owner refuses input.
    void OnMouseMove(int x, int y);
    void OnMouseLeave();
    void OnLButtonUp(int x, int y);
    void OnLButtonDblClk(int x, int y);
    void OnRButtonUp(int x, int y, int screenX, int screenY);
    // Runs a context-menu command on the selected slot of the current panel and view. An open
    // edit is applied first; when it fails its check the command is not run, so that the picture
    // and the editor go on showing the same item.
    void OnMenuCommand(int command);

    // The keyboard on the picture: the arrow keys move the selection to the next slot of another
    // item in that direction (from the main feed down into the left column, between the columns
    // and the auxiliary groups), Enter applies an open edit or opens the selected item's, and the
    // menu key opens the selected slot's context menu at (screenX, screenY). Nothing while the
    // owner refuses input; true when the key did something.
    enum class MapKey { LEFT, RIGHT, UP, DOWN, ENTER, MENU };
    bool OnKey(MapKey key, int screenX = 0, int screenY = 0);
    // The tooltip of the slot at pixel (x, y) of the current panel and view: a breaker's or
    // subfeed's name, poles, rating and channels; the main feed's; an empty slot's position.
    // Empty where there is no slot or no configuration.
    std::string TipAt(int x, int y);

    // Introspection (tests and the window).
    Slot& MainSlot(int panel, int pole) { return m_Panels[Clamp(panel)].m_Main[ClampPole(pole)]; }
    Slot& PanelSlot(int panel, int index) {
        return m_Panels[Clamp(panel)].m_Slots[index >= 0 && index < kPanelSlots ? index : 0];
    }
    Slot& AuxSlot(int panel, int group, int pole) {
        return m_Panels[Clamp(panel)]
            .m_Aux[group >= 0 && group < kAuxPositions ? group : 0][ClampPole(pole)];
    }
    const Slot* Selected(int panel, int view) const {
        return m_Panels[Clamp(panel)].m_Selected[view == 1 ? 1 : 0];
    }
    const Slot* Hovered(int panel, int view) const {
        return m_Panels[Clamp(panel)].m_Hovered[view == 1 ? 1 : 0];
    }
    bool Tracking() const { return m_Tracking; }

private:
    struct PanelSlots {
        std::array<Slot, kMainPoles> m_Main;
        std::array<Slot, kPanelSlots> m_Slots;
        std::array<std::array<Slot, kMainPoles>, kAuxPositions> m_Aux;
        SlotRef m_MainRef;
        std::array<SlotRef, kMaxBreakers> m_BreakerRefs;
        std::array<SlotRef, kMaxSubfeeds> m_SubfeedRefs;
        std::array<Slot*, 2> m_Selected{};  // per view
        std::array<Slot*, 2> m_Hovered{};   // per view
    };

    static int Clamp(int panel) { return panel == 1 ? 1 : 0; }
    static int ClampPole(int pole) { return pole >= 0 && pole < kMainPoles ? pole : 0; }
    void InitSlots();
    void ReloadPanel(int panel);
    static void Assign(Slot& slot, SlotRef& owner, int pole);
    // The owner's first slot for an occupied slot, else the slot itself.
    static Slot* Normalise(Slot* slot);
    void SelectSlot(Slot* slot);
    // Applies an open edit; false when it failed its check and stays open.
    bool SettleOpenEdit();
    // Draws `slot` when it is empty or starts a run of its owner's poles (with the whole run).
    void DrawSlot(const Slot& slot);
    // Draws an empty slot, or every part of an occupied slot's owner in the current view.
    void DrawItem(const Slot* slot);
    // The slots of the current panel a run of poles through `slot` can take: its column, its
    // auxiliary group or the main feed's poles.
    std::span<const Slot> RunArea(const Slot& slot) const;
    void DrawLabel(int slotIndex);
    // The position numbers beside the auxiliary groups.
    void DrawAuxLabels();
    // The slot next to `from` in direction `key` in the current view, or null at the edge.
    Slot* Neighbour(Slot* from, MapKey key);
    void Repaint();
    bool Room(const PanelRecord& panel, int slotIndex) const;

    MapOwner& m_Owner;
    bool m_Compact;
    MapCanvas* m_Canvas;
    UnitConfig* m_Config = nullptr;
    int m_Panel = 0;
    int m_View = 0;
    bool m_Tracking = false;
    std::array<PanelSlots, kPanelCount> m_Panels;
};

}  // namespace jvo::tool
