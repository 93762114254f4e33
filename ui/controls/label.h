// The label: a caption over a background (colour, gradient or picture) in
// one of seven borders.
#pragma once

#include "ui/controls/property_blocks.h"
#include "ui/unit_object.h"

namespace ui {

class Label : public UnitObject {
public:
    // The class's own properties; unit property unitProperty(p) (properties.h).
    enum Property : int32_t {
        kCaption, kEffect, kBorder, kGradientBorderWidth, kGradientBorder1, kGradientBorder2, kGradientBorder3, kFont,
        kTextColour, kBackgroundColour, kPicture, kPictureMode, kGradientMode, kGradient1, kGradient2, kGradient3,
        kHorizontalAlignment, kWordWrap, kVerticalAlignment, kDataSource, kDataColumn, kPropertyCount
    };

    static UnitObject* create(const CreateRequest& request);

    bool getProperty(int32_t number, PropertyValue& out) override;
    void setProperty(int32_t number, const PropertyValue& value) override;
    std::vector<uint8_t> save() const override { return blockBytes(block_); }
    void enumerateTexts(TextCallback callback, void* context) override;

    const LabelBlock& block() const { return block_; }

protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    using UnitObject::UnitObject;
    void paint(HDC dc, const RECT& update);

    LabelBlock block_;
};

// Fills `rect` with a gradient through the given colours (left to right or
// top to bottom).
void paintGradient(HDC dc, const RECT& rect, const std::vector<COLORREF>& colours, bool vertical);

}  // namespace ui
