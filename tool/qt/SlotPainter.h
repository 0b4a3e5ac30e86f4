#pragma once
// The 14 slot images of the panel picture, drawn in code: an empty slot, and a breaker of 1, 2 or
// 3 poles (a moulded body with a wire terminal and a toggle handle per pole, the handles of a
// multi-pole breaker tied together), mirrored for a right column whose breakers face the other
// way, each in a normal and an under-the-mouse form. The picture keeps its light grey ground and
// dark grey frame on a light desktop; on a dark one both come from the palette, the frame at
// least as distinct from the ground as in the light picture. Images are made at the device pixel
// ratio, so they stay crisp at every scale.
#include <QImage>
#include <QPalette>

#include "tool/UserMap.h"

namespace jvo::tool::qt {

// The colours of the picture, taken from a palette.
struct PictureColours {
    QColor background;  // the picture's ground (the core's light grey)
    QColor border;      // its frame (the core's dark grey)
    // The ground and frame of the light picture, as the core gives them.
    static constexpr QColor kLightGround{192, 192, 192};
    static constexpr QColor kLightFrame{64, 64, 64};
    QColor text;       // number labels
    QColor well;       // an empty slot's recess
    QColor highlight;  // under the mouse
    static PictureColours From(const QPalette& palette);
};

// Logical size of one slot image: one pole is 125 x 32 (large) or 88 x 24 (compact); an owner of
// n poles is n poles high, an empty slot one.
QSize SlotImageSize(const SlotImage& image, bool compact);

// The whole image of `image` (a part of it, m_FromPole and m_ShownPoles, is cut out by the
// picture when it copies the image).
QImage DrawSlotImage(const SlotImage& image, bool compact, qreal ratio,
                     const PictureColours& colours);

}  // namespace jvo::tool::qt
