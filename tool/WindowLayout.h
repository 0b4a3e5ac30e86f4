#pragma once
// The two window layouts of the configuration tool and the choice between them.
namespace jvo::tool {

enum class WindowLayout { COMPACT, LARGE };

struct LayoutInfo {
    int m_DialogId;  // dialog resource
    int m_Width;     // dialog units
    int m_Height;
    int m_PictureWidth;  // picture area, dialog units
    int m_PictureHeight;
};

// Work areas below this height get the compact layout.
constexpr int kCompactBelowHeight = 900;

constexpr WindowLayout ChooseWindowLayout(int workAreaHeight) {
    return workAreaHeight < kCompactBelowHeight ? WindowLayout::COMPACT : WindowLayout::LARGE;
}

constexpr LayoutInfo LayoutFor(WindowLayout layout) {
    return layout == WindowLayout::COMPACT ? LayoutInfo{103, 516, 443, 228, 433}
                                           : LayoutInfo{102, 558, 542, 272, 532};
}

}  // namespace jvo::tool
