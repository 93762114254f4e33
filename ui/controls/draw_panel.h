// The draw panel: a surface the application draws on with its pen, brush
// and font. While auto-redraw is on, every drawing also lands in a
// persistent image that repaints the panel; without it drawings vanish at
// the next repaint.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/controls/property_blocks.h"
#include "ui/gdi_object.h"
#include "ui/unit_object.h"
#include "ui/window_requests.h"

namespace ui {

class DrawPanel : public UnitObject {
public:
    // The class's own properties; unit property unitProperty(p) (properties.h).
    enum Property : int32_t {
        kBorder, kBackgroundColour, kPicture, kPictureMode, kAutoRedraw, kCoordinateUnit, kPenStyle, kDrawingMode,
        kPenWidth, kPenColour, kBrushStyle, kBrushColour, kTextColour, kTextBackground, kFont, kDrawableWidth,
        kDrawableHeight, kPropertyCount
    };

    static UnitObject* create(const CreateRequest& request);

    bool getProperty(int32_t number, PropertyValue& out) override;
    void setProperty(int32_t number, const PropertyValue& value) override;
    std::vector<uint8_t> save() const override { return blockBytes(block_); }
    void enumerateTexts(TextCallback callback, void* context) override;

    // Drawing methods 1, 9 and 17 (on the panel's own thread).
    void clear(const PanelArea& area);
    void fillRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void writeText(std::optional<int32_t> x, std::optional<int32_t> y, const std::vector<std::string>& texts);

    const DrawPanelBlock& block() const { return block_; }
    bool hasImage() const { return static_cast<bool>(image_); }

protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    using UnitObject::UnitObject;

    // Runs `primitive` on the persistent image (when there is one) and on
    // the window, each prepared with the panel's drawing state.
    template <typename Primitive>
    void draw(bool textOutput, Primitive primitive);
    void prepare(HDC dc, bool textOutput) const;
    void restore(HDC dc) const;

    void createImage();
    void dropImage();
    void rebuildPen();
    void rebuildBrush();
    void rebuildFont();
    void fillBackground(HDC dc, const RECT& rect) const;
    SIZE drawableSize() const;

    DrawPanelBlock block_;
    // The persistent image: a bitmap selected into its memory context (the
    // context goes first, then the bitmap).
    GdiObject<HBITMAP> image_;
    MemoryDc imageDc_;
    SIZE imageSize_{0, 0};
    GdiObject<HPEN> pen_;
    GdiObject<HBRUSH> brush_;
    GdiObject<HFONT> font_;   // none: the default GUI font
    POINT textPosition_{0, 0};
};

}  // namespace ui
