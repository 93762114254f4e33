// The label: a caption over a background (colour, gradient or picture) in
// one of seven borders.
#pragma once

#include "ui/controls/property_blocks.h"
#include "ui/unit_object.h"

namespace ui {

class Label : public UnitObject {
public:
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
