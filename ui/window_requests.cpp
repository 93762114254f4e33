#include "ui/window_requests.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "runtime/address_word.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "runtime/runtime_error.h"
#include "ui/byte_stream.h"
#include "ui/class_registry.h"
#include "ui/controls/draw_panel.h"
#include "ui/controls/property_blocks.h"
#include "ui/properties.h"
#include "ui/unit_object.h"
#include "ui/window_loader.h"
#include "ui/window_registry.h"
#include "runtime/thread_call.h"

namespace ui {

namespace {

constexpr const char* kReadNotLoaded = "读取组件属性时发现指定窗口尚未载入";
constexpr const char* kWriteNotLoaded = "修改组件属性时发现指定窗口尚未载入";
constexpr const char* kUnitWindowNotLoaded = "未载入欲访问窗口组件所在的窗口";
constexpr const char* kNoSuchUnit = "指定窗口或窗口组件不存在或尚未载入";

[[noreturn]] void fail(const char* message, uint32_t windowId, uint32_t unitId) {
    rt::reportRuntimeError(message, 0, static_cast<int32_t>(windowId), static_cast<int32_t>(unitId));
}

using rt::ThreadCallResult;

// On the registry's thread: the work goes to the window's thread, or runs
// here when this is it. Without a live window it runs here only when asked
// to (it then reports what it finds).
ThreadCallResult requestFromRegistryThread(uint32_t windowId, const std::function<void()>& work,
                                           bool runWithoutWindow) {
    WindowRecord* window = findWindowRecord(windowId);
    HWND target = window ? liveWindowOf(*window) : nullptr;
    if (target && !rt::onThreadOf(target)) return rt::runOnThreadOf(target, work);
    if (!target && !runWithoutWindow) return ThreadCallResult::windowGone;
    work();
    return ThreadCallResult::ran;
}

// Runs `work` on the thread of the window `windowId`, once or not at all.
// Only the main thread reads the registry: another thread's request is
// looked up there, and finds the window gone once it is no longer loaded.
ThreadCallResult onThreadOf(uint32_t windowId, const std::function<void()>& work) {
    rt::RuntimeApp& app = rt::RuntimeApp::instance();
    if (app.isMainThread() || !app.started()) return requestFromRegistryThread(windowId, work, true);
    ThreadCallResult inner = ThreadCallResult::windowGone;
    ThreadCallResult outer = rt::runOnMainThread([&] { inner = requestFromRegistryThread(windowId, work, false); });
    return outer == ThreadCallResult::ran ? inner : outer;
}

// --- Font parts ------------------------------------------------------------

LOGFONTA fontOf(const std::vector<uint8_t>& bytes) {
    LOGFONTA font{};
    if (bytes.size() == kLogFontSize) std::memcpy(&font, bytes.data(), sizeof font);
    else GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    return font;
}

int pixelsPerInch() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

uint64_t readFontPart(const std::vector<uint8_t>& bytes, int32_t part) {
    LOGFONTA font = fontOf(bytes);
    switch (part) {
        case 0: return static_cast<uint32_t>(font.lfEscapement);
        case 1: return font.lfWeight >= FW_BOLD ? 1 : 0;
        case 2: return font.lfItalic ? 1 : 0;
        case 3: return font.lfUnderline ? 1 : 0;
        case 4: return font.lfStrikeOut ? 1 : 0;
        case 5: return static_cast<uint32_t>(MulDiv(std::abs(font.lfHeight), 72, pixelsPerInch()));
        case 6: return rt::wordOf(rt::makeText(font.lfFaceName));
        default: return 0;
    }
}

std::vector<uint8_t> writeFontPart(const std::vector<uint8_t>& bytes, int32_t part, uint32_t value) {
    LOGFONTA font = fontOf(bytes);
    switch (part) {
        case 0: font.lfEscapement = font.lfOrientation = static_cast<LONG>(value % 3600); break;
        case 1: font.lfWeight = value ? FW_BOLD : 0; break;
        case 2: font.lfItalic = value ? 1 : 0; break;
        case 3: font.lfUnderline = value ? 1 : 0; break;
        case 4: font.lfStrikeOut = value ? 1 : 0; break;
        case 5: font.lfHeight = -MulDiv(static_cast<int>(value), pixelsPerInch(), 72); break;
        case 6: {
            auto face = reinterpret_cast<const char*>(static_cast<uintptr_t>(value));
            size_t length = face ? std::strlen(face) : 0;
            std::memset(font.lfFaceName, 0, sizeof font.lfFaceName);
            std::strcpy(font.lfFaceName, length >= 1 && length <= 31 ? face : "宋体");
            break;
        }
        default: return bytes;
    }
    std::vector<uint8_t> out(kLogFontSize);
    std::memcpy(out.data(), &font, kLogFontSize);
    return out;
}

// --- Common properties 0 to 7 ------------------------------------------------

struct UnitAccess {
    WindowRecord* window;
    UnitLocation unit;
    UnitObject* object;   // live object or null
    HWND hwnd;            // its window or null
};

UnitAccess access(uint32_t windowId, uint32_t unitId) {
    WindowRecord* window = findWindowRecord(windowId);
    if (!window) fail(kUnitWindowNotLoaded, windowId, unitId);
    UnitAccess a{window, {}, nullptr, nullptr};
    if (!findUnitRecord(*window, unitId, a.unit)) fail(kUnitWindowNotLoaded, windowId, unitId);
    if (window->load) {
        a.object = a.unit.object();
        a.hwnd = a.object && IsWindow(a.object->handle()) ? a.object->handle() : nullptr;
    }
    return a;
}

RECT rectInParent(HWND hwnd) {
    RECT rect;
    GetWindowRect(hwnd, &rect);
    if ((GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) && GetParent(hwnd))
        MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string tagOf(const UnitAccess& a) {
    if (a.window->load) {
        auto it = a.window->load->tags.find(a.unit.id);
        if (it != a.window->load->tags.end()) return it->second;
    }
    return a.unit.describe().tag;
}

std::vector<uint8_t> cursorDataOf(const UnitAccess& a) {
    if (a.window->load) {
        auto it = a.window->load->cursorData.find(a.unit.id);
        if (it != a.window->load->cursorData.end()) return it->second;
    }
    return a.unit.describe().cursorData;
}

uint64_t readCommon(const UnitAccess& a, int32_t property) {
    if (a.unit.menuItem)
        return property == kMenuItemCaption ? rt::wordOf(rt::makeText(a.unit.describe().caption.c_str())) : 0;
    const uint8_t* geometry = a.unit.geometry;
    switch (property) {
        case kCommonLeft: case kCommonTop: case kCommonWidth: case kCommonHeight: {
            if (!a.hwnd) return loadWord(geometry + 4 * property);
            RECT rect = rectInParent(a.hwnd);
            int32_t values[4] = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
            return static_cast<uint32_t>(values[property]);
        }
        case kCommonTag: {
            std::string tag = tagOf(a);
            return rt::wordOf(rt::makeText(tag.c_str()));
        }
        case kCommonVisible:
            return a.hwnd ? ((GetWindowLongA(a.hwnd, GWL_STYLE) & WS_VISIBLE) ? 1 : 0)
                          : (loadWord(a.unit.stateFlags) & kStateVisible ? 1 : 0);
        case kCommonDisabled:
            return a.hwnd ? (IsWindowEnabled(a.hwnd) ? 0 : 1)
                          : (loadWord(a.unit.stateFlags) & kStateDisabled ? 1 : 0);
        case kCommonCursor: {
            std::vector<uint8_t> data = cursorDataOf(a);
            return rt::wordOf(rt::makeByteSet(data.data(), data.size()));
        }
        default: return 0;
    }
}

void writeCommon(UnitAccess& a, int32_t property, uint32_t value) {
    if (a.unit.menuItem) return;
    uint8_t* geometry = a.unit.geometry;
    switch (property) {
        case kCommonLeft: case kCommonTop: case kCommonWidth: case kCommonHeight: {
            if (!a.hwnd) {
                storeWord(geometry + 4 * property, value);
                return;
            }
            RECT rect = rectInParent(a.hwnd);
            int32_t values[4] = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
            values[property] = static_cast<int32_t>(value);
            UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (property < kCommonWidth ? SWP_NOSIZE : SWP_NOMOVE);
            SetWindowPos(a.hwnd, nullptr, values[0], values[1], values[2], values[3], flags);
            return;
        }
        case kCommonTag:
            if (a.window->load)
                a.window->load->tags[a.unit.id] = value ? reinterpret_cast<const char*>(value) : "";
            return;
        case kCommonVisible: case kCommonDisabled: {
            uint32_t bit = property == kCommonVisible ? kStateVisible : kStateDisabled;
            if (a.hwnd) {
                if (property == kCommonVisible) ShowWindow(a.hwnd, value ? SW_SHOWNA : SW_HIDE);
                else EnableWindow(a.hwnd, value ? FALSE : TRUE);
            } else {
                uint32_t flags = loadWord(a.unit.stateFlags);
                storeWord(a.unit.stateFlags, value ? flags | bit : flags & ~bit);
            }
            return;
        }
        case kCommonCursor: {
            if (!a.window->load) return;
            auto byteSet = reinterpret_cast<const uint8_t*>(value);
            const uint8_t* data = rt::byteSetData(byteSet);
            std::vector<uint8_t> bytes(data, data + rt::byteSetLength(byteSet));
            UnitCursor cursor = cursorFromData(bytes);
            a.window->load->cursorData[a.unit.id] = std::move(bytes);
            a.unit.setCursor(cursor.get());
            if (a.object) a.object->setCursor(cursor.get());
            // The unit's previous pointer goes now that nothing uses it.
            a.window->load->cursors[a.unit.id] = std::move(cursor);
            return;
        }
        default: return;
    }
}

// --- Class properties -----------------------------------------------------------

struct ClassAccess {
    UnitObject* object;
    const ClassDescription* description;
    PropertyDescription property;
};

ClassAccess classAccess(const UnitAccess& a, int32_t property, const char* notLoaded, uint32_t windowId,
                        uint32_t unitId) {
    if (!a.window->load) fail(notLoaded, windowId, unitId);
    if (!a.object) fail(kUnitWindowNotLoaded, windowId, unitId);
    const ClassDescription* description = findClass(loadWord(a.unit.record));
    uint32_t number = static_cast<uint32_t>(classProperty(property));
    if (!description || number >= description->propertyCount) return {a.object, nullptr, {}};
    return {a.object, description, description->properties[number]};
}

uint64_t readClassProperty(const UnitAccess& a, uint32_t windowId, uint32_t unitId, int32_t property,
                           int32_t index) {
    ClassAccess c = classAccess(a, property, kReadNotLoaded, windowId, unitId);
    GetPropertyRoutine get = c.description ? getPropertyRoutine(*c.description) : nullptr;
    PropertyValue value;
    if (!get || !get(c.object, classProperty(property), &value)) return 0;
    switch (c.property.type) {
        case kPropText: return rt::wordOf(rt::makeText(reinterpret_cast<const char*>(value.lo)));
        case kPropLogical: return value.lo ? 1 : 0;
        case kPropPicture: case kPropPointer: case kPropFont: {
            std::vector<uint8_t> bytes = bufferFrom(value);
            if (c.property.type == kPropFont && index >= 0) return readFontPart(bytes, index);
            return rt::wordOf(rt::makeByteSet(bytes.data(), bytes.size()));
        }
        default: return value.lo;
    }
}

void writeClassProperty(const UnitAccess& a, uint32_t windowId, uint32_t unitId, int32_t property, int32_t index,
                        uint32_t lo) {
    ClassAccess c = classAccess(a, property, kWriteNotLoaded, windowId, unitId);
    if (!c.description || (c.property.flags & kPropReadOnlyAtRunTime)) return;
    SetPropertyRoutine set = setPropertyRoutine(*c.description);
    if (!set) return;
    PropertyValue value{lo, 0};
    std::vector<uint8_t> bytes;
    switch (c.property.type) {
        case kPropLogical: value.lo = lo ? 1 : 0; break;
        case kPropPicture: case kPropPointer: case kPropFont: {
            if (c.property.type == kPropFont && index >= 0) {
                GetPropertyRoutine get = getPropertyRoutine(*c.description);
                PropertyValue current;
                if (get) get(c.object, classProperty(property), &current);
                bytes = writeFontPart(bufferFrom(current), index, lo);
            } else {
                auto byteSet = reinterpret_cast<const uint8_t*>(lo);
                const uint8_t* data = rt::byteSetData(byteSet);
                bytes.assign(data, data + rt::byteSetLength(byteSet));
            }
            value = bufferValue(bytes);
            break;
        }
        default: break;
    }
    uint32_t out = 0;
    set(c.object, classProperty(property), &value, &out);
}

DrawPanel* drawPanelOf(uint32_t windowId, uint32_t unitId) {
    UnitObject* object = unitObject(windowId, unitId);
    if (!object) fail(kNoSuchUnit, windowId, unitId);
    return dynamic_cast<DrawPanel*>(object);
}

}  // namespace

uint64_t readUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index) {
    uint64_t result = 0;
    onThreadOf(windowId, [&] {
        UnitAccess a = access(windowId, unitId);
        result = isCommonProperty(property) ? readCommon(a, property)
                                            : readClassProperty(a, windowId, unitId, property, index);
    });
    return result;
}

void writeUnitProperty(uint32_t windowId, uint32_t unitId, int32_t property, int32_t index, uint32_t lo,
                       uint32_t /*hi*/) {
    onThreadOf(windowId, [&] {
        UnitAccess a = access(windowId, unitId);
        if (isCommonProperty(property)) writeCommon(a, property, lo);
        else writeClassProperty(a, windowId, unitId, property, index, lo);
    });
}

void destroyWindow(uint32_t windowId, bool atOnce) {
    onThreadOf(windowId, [&] {
        WindowRecord* window = findWindowRecord(windowId);
        HWND hwnd = window ? liveWindowOf(*window) : nullptr;
        if (!hwnd) return;
        if (atOnce) DestroyWindow(hwnd);
        else markForDestruction(windowId);
    });
}

HWND unitWindowHandle(uint32_t windowId, uint32_t unitId) {
    HWND result = nullptr;
    onThreadOf(windowId, [&] {
        UnitObject* object = unitObject(windowId, unitId);
        result = object ? object->handle() : nullptr;
    });
    return result;
}

void clearPanel(uint32_t windowId, uint32_t unitId, const PanelArea& area) {
    onThreadOf(windowId, [&] {
        if (DrawPanel* panel = drawPanelOf(windowId, unitId)) panel->clear(area);
    });
}

void fillPanelRect(uint32_t windowId, uint32_t unitId, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    onThreadOf(windowId, [&] {
        if (DrawPanel* panel = drawPanelOf(windowId, unitId)) panel->fillRect(left, top, right, bottom);
    });
}

void writePanelText(uint32_t windowId, uint32_t unitId, std::optional<int32_t> x, std::optional<int32_t> y,
                    const std::vector<std::string>& texts) {
    onThreadOf(windowId, [&] {
        if (DrawPanel* panel = drawPanelOf(windowId, unitId)) panel->writeText(x, y, texts);
    });
}

}  // namespace ui
