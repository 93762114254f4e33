// The transparent label: only its caption is drawn; whatever lies beneath
// shows through. After every change and move it has the area beneath it
// repainted first, so that no trace of an earlier caption stays.
#pragma once

#include "ui/controls/property_blocks.h"
#include "ui/unit_object.h"

namespace ui {

class TransLabel : public UnitObject {
public:
    // The class's own properties; unit property unitProperty(p) (properties.h).
    enum Property : int32_t {
        kCaption, kEffect, kFont, kTextColour, kHorizontalAlignment, kWordWrap, kVerticalAlignment, kPropertyCount
    };

    static UnitObject* create(const CreateRequest& request);

    bool getProperty(int32_t number, PropertyValue& out) override;
    void setProperty(int32_t number, const PropertyValue& value) override;
    std::vector<uint8_t> save() const override { return blockBytes(block_); }
    void enumerateTexts(TextCallback callback, void* context) override;

    const TransLabelBlock& block() const { return block_; }

protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    using UnitObject::UnitObject;
    void refresh();

    TransLabelBlock block_;
};

}  // namespace ui
