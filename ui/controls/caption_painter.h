// Caption drawing shared by the label and the transparent label: font from a
// stored LOGFONTA or the default GUI font, alignment, word wrap and the three
// text effects.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/gdi_object.h"

namespace ui {

// The font to paint with: made from a stored LOGFONTA (and owned), or the
// stock default GUI font.
class PaintFont {
public:
    explicit PaintFont(const std::vector<uint8_t>& logFont);
    HFONT handle() const {
        return made_ ? made_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }

private:
    GdiObject<HFONT> made_;
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
