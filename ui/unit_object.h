// The live object of a unit: owns nothing but its window handle (through the
// framework window object) and its property block. It lives from its
// window's creation to WM_NCDESTROY of that window, where it deletes itself
// after telling the runtime (service 2000).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/framework/window_object.h"
#include "ui/class_registry.h"

namespace ui {

// Private messages of the window loader.
constexpr UINT kMsgControlsCreated = 0x806F;   // to every control, last to first
constexpr UINT kMsgWindowPrepared = 0x8004;    // to the window after that
constexpr UINT kMsgLoadFinished = 0x8076;      // to every control, at the end of the load

class UnitObject : public fw::WindowObject {
public:
    UnitObject(uint32_t windowId, uint32_t unitId) : windowId_(windowId), unitId_(unitId) {}
    ~UnitObject() override = default;

    uint32_t windowId() const { return windowId_; }
    uint32_t unitId() const { return unitId_; }

    // Class property access: get returns false for an unknown number; set
    // ignores unknown numbers. Values as in PropertyValue.
    virtual bool getProperty(int32_t classProperty, PropertyValue& out) = 0;
    virtual void setProperty(int32_t classProperty, const PropertyValue& value) = 0;
    // The property block as class property data (highest version).
    virtual std::vector<uint8_t> save() const = 0;
    // Caption and font face name, for a text callback that may change them.
    virtual void enumerateTexts(TextCallback, void*) {}

    // The mouse pointer made from the unit's cursor data (null: the class's).
    void setCursor(HCURSOR cursor) { cursor_ = cursor; }
    HCURSOR cursor() const { return cursor_; }

    // Raises event `event` of this unit; true when a handler ran. `hasResult`
    // and `result` receive what it returned.
    bool raise(int32_t event, std::initializer_list<uint32_t> args = {}, bool* hasResult = nullptr,
               uint32_t* result = nullptr);

protected:
    // Creates the window with this object as its owner object. The window
    // owns the object from its first message on (it deletes it at
    // WM_NCDESTROY). Null when the window could not be created: the object
    // has then been deleted, by the window or here, and must not be used.
    HWND createWindow(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y, int width,
                      int height, HWND parent, HMENU menu);
    // A control's child window at the request's place, with its control
    // identifier; `style` is added to WS_CHILD | WS_CLIPSIBLINGS and the
    // request's own extra style. Null and the object deleted as createWindow.
    HWND createChildWindow(const CreateRequest& request, DWORD exStyle, const char* className, const char* text,
                           DWORD style);
    // Registers a window class whose procedure dispatches to windowProc.
    static void registerClass(const char* name, UINT style, HCURSOR cursor);

    // Messages not handled here go to DefWindowProcA.
    virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK sharedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    uint32_t windowId_;
    uint32_t unitId_;
    HCURSOR cursor_ = nullptr;
};

// The applying window styles for the border choices 0-5 shared by label and
// draw panel: (style, extended style).
void borderStyles(uint32_t border, DWORD& style, DWORD& exStyle);
void applyBorder(HWND hwnd, uint32_t border);

// Clamps a choice to [0, last].
constexpr uint32_t clampChoice(uint32_t value, uint32_t last) {
    return static_cast<int32_t>(value) < 0 ? 0 : (value > last ? last : value);
}

// Byte-buffer property helpers.
inline PropertyValue bufferValue(const std::vector<uint8_t>& bytes) {
    return {bytes.empty() ? 0u : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bytes.data())),
            static_cast<uint32_t>(bytes.size())};
}
inline std::vector<uint8_t> bufferFrom(const PropertyValue& value) {
    auto data = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(value.lo));
    return data && value.hi ? std::vector<uint8_t>(data, data + value.hi) : std::vector<uint8_t>{};
}
inline PropertyValue textValue(const std::string& text) {
    return {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text.c_str())), 0};
}
inline std::string textFrom(const PropertyValue& value) {
    auto text = reinterpret_cast<const char*>(static_cast<uintptr_t>(value.lo));
    return text ? std::string(text) : std::string();
}

// The interface function of a class whose object type T implements the
// UnitObject operations and has `static UnitObject* create(const CreateRequest&)`.
template <typename T>
ClassRoutine standardInterface(int32_t operation) {
    switch (operation) {
        case kOpCreate: {
            CreateRoutine routine = [](const CreateRequest& request) -> UnitObject* { return T::create(request); };
            return reinterpret_cast<ClassRoutine>(routine);
        }
        case kOpSetProperty: {
            SetPropertyRoutine routine = [](UnitObject* object, int32_t number, const PropertyValue* value,
                                            uint32_t* out) -> int32_t {
                if (out) *out = 0;
                if (object && value) object->setProperty(number, *value);
                return 0;
            };
            return reinterpret_cast<ClassRoutine>(routine);
        }
        case kOpSaveProperties: {
            SaveRoutine routine = [](UnitObject* object) { return object ? object->save() : std::vector<uint8_t>{}; };
            return reinterpret_cast<ClassRoutine>(routine);
        }
        case kOpGetProperty: {
            GetPropertyRoutine routine = [](UnitObject* object, int32_t number, PropertyValue* out) -> int32_t {
                return object && out && object->getProperty(number, *out) ? 1 : 0;
            };
            return reinterpret_cast<ClassRoutine>(routine);
        }
        case kOpEnumerateTexts: {
            EnumerateTextsRoutine routine = [](UnitObject* object, TextCallback callback, void* context) {
                if (object && callback) object->enumerateTexts(callback, context);
            };
            return reinterpret_cast<ClassRoutine>(routine);
        }
        default: return nullptr;
    }
}

}  // namespace ui
