// The window unit: a top-level window with its caption-bar rules, start
// position and close queries.
#pragma once

#include "ui/controls/property_blocks.h"
#include "ui/unit_object.h"

namespace ui {

// The window's events, by the numbers that the template's bindings use.
enum WindowEvent : int32_t {
    kWindowCreated = 0,         // once its controls exist, before it shows
    kWindowCloseQuery = 1,      // the second close query; also at the end of a session
    kWindowDestroyed = 2,
    kWindowMoved = 3,           // also once right after kWindowCreated
    kWindowResized = 4,         // also once right after kWindowMoved
    kWindowIdle = 7,            // the program became idle: elapsed milliseconds
    kWindowShown = 10,
    kWindowHidden = 11,
    kWindowCloseRequest = 12,   // the first close query
};

class WindowControl : public UnitObject {
public:
    // The class's own properties; unit property unitProperty(p) (properties.h).
    enum Property : int32_t {
        kTitle, kBorderStyle, kBackgroundColour, kPicture, kControlBox, kMinimiseButton, kMaximiseButton,
        kStartPosition, kPropertyCount
    };

    static UnitObject* create(const CreateRequest& request);

    bool getProperty(int32_t number, PropertyValue& out) override;
    void setProperty(int32_t number, const PropertyValue& value) override;
    std::vector<uint8_t> save() const override { return blockBytes(block_); }
    void enumerateTexts(TextCallback callback, void* context) override;

    const WindowBlock& block() const { return block_; }
    bool designMode() const { return designMode_; }

    // The close request: event 12, then event 1; a handler that returned
    // false refuses. True when the window was destroyed.
    bool close();

protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    using UnitObject::UnitObject;
    // False when a close query was answered with false.
    bool closeQueryAllows(int32_t event);

    WindowBlock block_;
    bool designMode_ = false;
};

// (style, extended style) of a window block.
void windowStyles(const WindowBlock& block, DWORD& style, DWORD& exStyle);

}  // namespace ui
