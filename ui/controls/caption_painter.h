// Caption drawing shared by the label and the transparent label: font from a
// stored LOGFONTA or the default GUI font, alignment, word wrap and the three
// text effects.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// A font selected for painting: owned when made from a LOGFONTA.
class PaintFont {
public:
    explicit PaintFont(const std::vector<uint8_t>& logFont);
    ~PaintFont();
    PaintFont(const PaintFont&) = delete;
    PaintFont& operator=(const PaintFont&) = delete;
    HFONT handle() const { return font_; }

private:
    HFONT font_;
    bool owned_;
};

struct CaptionStyle {
    uint32_t effect = 0;              // 0 plain, 1 sunken, 2 raised, 3 shadowed
    uint32_t textColour = 0;
    uint32_t horizontalAlignment = 0; // 0 left, 1 centre, 2 right
    uint32_t verticalAlignment = 1;   // 0 top, 1 centre, 2 bottom
    bool wordWrap = false;
};

void drawCaption(HDC dc, RECT rect, const std::string& caption, const std::vector<uint8_t>& font,
                 const CaptionStyle& style);

// The colour a 0xFF000000 "default" background stands for.
COLORREF resolveBackground(uint32_t colour);

}  // namespace ui
