#include "ui/controls/caption_painter.h"

#include "ui/controls/property_blocks.h"

namespace ui {

PaintFont::PaintFont(const std::vector<uint8_t>& logFont) {
    if (logFont.size() == kLogFontSize) {
        LOGFONTA description;
        static_assert(sizeof description == kLogFontSize, "a LOGFONTA is 60 bytes");
        memcpy(&description, logFont.data(), sizeof description);
        made_.reset(CreateFontIndirectA(&description));
    }
}

void drawCaption(HDC dc, RECT rect, const std::string& caption, const std::vector<uint8_t>& font,
                 const CaptionStyle& style) {
    if (caption.empty()) return;
    PaintFont paintFont(font);
    HGDIOBJ oldFont = SelectObject(dc, paintFont.handle());
    UINT format = DT_NOCLIP | DT_NOPREFIX;
    format |= style.horizontalAlignment == 1 ? DT_CENTER : style.horizontalAlignment == 2 ? DT_RIGHT : DT_LEFT;
    if (style.wordWrap) {
        format |= DT_WORDBREAK;
    } else {
        format |= DT_SINGLELINE;
        format |= style.verticalAlignment == 0 ? DT_TOP : style.verticalAlignment == 2 ? DT_BOTTOM : DT_VCENTER;
    }
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = GetTextColor(dc);
    auto draw = [&](RECT at, COLORREF colour) {
        SetTextColor(dc, colour);
        DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &at, format);
    };
    if (style.effect == 2) {
        draw(rect, RGB(255, 255, 255));
        OffsetRect(&rect, 1, 1);
    } else if (style.effect == 1) {
        RECT shifted = rect;
        OffsetRect(&shifted, 1, 1);
        draw(shifted, RGB(255, 255, 255));
    } else if (style.effect == 3) {
        RECT shifted = rect;
        OffsetRect(&shifted, 2, 2);
        draw(shifted, RGB(0, 0, 0));
    }
    draw(rect, style.textColour & 0xFFFFFF);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

COLORREF resolveBackground(uint32_t colour) {
    return colour == kNoColour ? GetSysColor(COLOR_BTNFACE) : (colour & 0xFFFFFF);
}

}  // namespace ui
