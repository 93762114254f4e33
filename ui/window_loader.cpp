#include "ui/window_loader.h"

#include <cstring>

#include "runtime/runtime_app.h"
#include "runtime/service_request.h"
#include "ui/class_registry.h"
#include "ui/controls/window_control.h"
#include "ui/event_dispatch.h"
#include "ui/unit_object.h"
#include "ui/window_requests.h"

namespace ui {

namespace {

uint32_t loadWord(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

constexpr uint32_t kFirstControlId = 100;
constexpr uint32_t kControlIdStep = 10;

HWND handleOf(const UnitLocation& unit) {
    UnitObject* object = unit.object();
    return object ? object->handle() : nullptr;
}

// Undoes a failed load: the window (and with it every control) goes, the
// menu and accelerators too.
void abandonLoad(WindowRecord& window) {
    LoadedWindow* load = window.load.get();
    if (!load) return;
    HMENU menu = load->menu;
    HACCEL accelerators = load->accelerators;
    load->menu = nullptr;
    load->accelerators = nullptr;
    UnitLocation unit0;
    HWND hwnd = load->units.locateIndex(0, unit0) ? handleOf(unit0) : nullptr;
    // Controls are children of the window: they go with it.
    if (hwnd && IsWindow(hwnd)) {
        SetMenu(hwnd, nullptr);
        DestroyWindow(hwnd);
    }
    window.liveWindow = nullptr;
    window.load.reset();
    if (menu) DestroyMenu(menu);
    if (accelerators) DestroyAcceleratorTable(accelerators);
}

void endModalState(LoadedWindow& load) {
    for (auto& [other, wasEnabled] : load.disabledByModal)
        if (IsWindow(other)) EnableWindow(other, wasEnabled);
    load.disabledByModal.clear();
    load.modal = false;
}

}  // namespace

HCURSOR standardCursor(int32_t code) {
    static const WORD kSystemCursors[14] = {32512, 32515, 32513, 32514, 32651, 32650, 32648,
                                            32646, 32643, 32645, 32642, 32644, 32516, 32649};
    if (code < 1 || code > 14) return nullptr;
    if (code == 14) {
        // The hand comes from the program's own resources when it has one.
        if (HCURSOR own = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(32649))) return own;
    }
    return LoadCursorA(nullptr, MAKEINTRESOURCEA(kSystemCursors[code - 1]));
}

UnitCursor cursorFromData(const std::vector<uint8_t>& data) {
    if (data.empty()) return {};
    int32_t code = data.size() >= 4 ? static_cast<int32_t>(loadWord(data.data())) : data[0];
    if (code == -1 && data.size() > 4) {
        // A cursor image follows the code: a cursor resource as the
        // system's icon-and-cursor loader takes it.
        std::vector<uint8_t> image(data.begin() + 4, data.end());
        return UnitCursor::made(reinterpret_cast<HCURSOR>(CreateIconFromResourceEx(
            image.data(), static_cast<DWORD>(image.size()), FALSE, 0x00030000, 0, 0, LR_DEFAULTCOLOR)));
    }
    return UnitCursor::shared(standardCursor(code));
}

int32_t loadWindow(WindowRecord& window, int32_t mode, HWND owner) {
    rt::RuntimeApp& app = rt::RuntimeApp::instance();

    // 1. Already open: bring it forward (ending a modal state first).
    if (window.load) {
        UnitLocation unit0;
        HWND existing = window.load->units.locateIndex(0, unit0) ? handleOf(unit0) : nullptr;
        if (existing && IsWindow(existing)) {
            if (window.load->modal) endModalState(*window.load);
            if (IsIconic(existing)) ShowWindow(existing, SW_RESTORE);
            else SetActiveWindow(existing);
            return 1;
        }
        window.load.reset();
        window.liveWindow = nullptr;
    }

    // 2. Owner.
    if (mode == 1) owner = nullptr;
    if (owner && !IsWindow(owner)) return 0;
    if (!owner) owner = app.hiddenOwner();

    // 3. No event reaches a handler while the units are created.
    ++app.eventBlockCount;
    struct Unblock {
        rt::RuntimeApp& app;
        bool done = false;
        void now() {
            if (!done && app.eventBlockCount.load() > 0) --app.eventBlockCount;
            done = true;
        }
        ~Unblock() { now(); }
    } unblock{app};

    // 4. The per-load copy.
    window.load = std::make_unique<LoadedWindow>();
    LoadedWindow& load = *window.load;
    load.units = window.units;
    UnitTable& units = load.units;
    uint32_t count = units.unitCount;
    if (count == 0) {
        window.load.reset();
        return 0;
    }

    // 5. Menu items become a menu bar, in template order.
    for (uint32_t i = 1; i < count; ++i) {
        UnitLocation unit;
        if (!units.locateIndex(i, unit) || !unit.menuItem) continue;
        if (!load.menu) load.menu = CreateMenu();
        AppendMenuA(load.menu, MF_STRING, kMenuCommandBase + i, unit.describe().caption.c_str());
    }

    // 6. Units: the window first, then the controls from the last to unit 1.
    std::vector<bool> visible(count, false);
    std::vector<uint32_t> createOrder{0};
    for (uint32_t i = count; i-- > 1;) createOrder.push_back(i);
    uint32_t controlId = kFirstControlId;
    HWND windowHandle = nullptr;
    WindowControl* windowObject = nullptr;
    for (uint32_t index : createOrder) {
        UnitLocation unit;
        if (!units.locateIndex(index, unit)) {
            abandonLoad(window);
            return 0;
        }
        if (unit.menuItem) continue;
        UnitDescription d = unit.describe();
        const ClassDescription* description = findClass(d.classId);
        CreateRoutine create = description ? createRoutine(*description) : nullptr;
        if (!create) {
            abandonLoad(window);
            return 0;
        }
        DWORD style = 0;
        if (description->flags & kClassNoWindow) {
            visible[index] = false;
        } else {
            if (d.stateFlags & kStateDisabled) style |= WS_DISABLED;
            visible[index] = (d.stateFlags & kStateVisible) != 0;
        }
        if (d.stateFlags & kStateTabStop) style |= WS_TABSTOP;

        CreateRequest request;
        request.data = d.propertyData.empty() ? nullptr : d.propertyData.data();
        request.length = static_cast<int32_t>(d.propertyData.size());
        request.extraStyle = style;
        request.left = d.left;
        request.top = d.top;
        request.width = d.width;
        request.height = d.height;
        request.windowId = window.id;
        request.unitId = unit.id;
        if (index == 0) {
            request.parent = request.parentAgain = owner;
            request.menu = load.menu;
        } else {
            request.parent = request.parentAgain = windowHandle;
            request.controlId = controlId;
            controlId += kControlIdStep;
        }
        UnitObject* object = create(request);
        unit.setObject(object);
        if (index == 0) {
            windowObject = dynamic_cast<WindowControl*>(object);
            windowHandle = object ? object->handle() : nullptr;
            if (!windowHandle || !IsWindow(windowHandle)) {
                // A window that went took its object with it.
                unit.setObject(nullptr);
                abandonLoad(window);
                return 0;
            }
            window.liveWindow = windowHandle;
        } else if (!object) {
            abandonLoad(window);
            return 0;
        }
    }

    // 7. Parents; pages of containers other than the current one start hidden.
    for (uint32_t i = 1; i < count; ++i) {
        UnitLocation unit;
        if (!units.locateIndex(i, unit) || unit.menuItem) continue;
        UnitDescription d = unit.describe();
        if (d.parent != 0) {
            UnitLocation parent;
            if (units.locate(d.parent, parent) && handleOf(parent)) SetParent(handleOf(unit), handleOf(parent));
        }
        const ClassDescription* description = findClass(d.classId);
        if (description && (description->flags & kClassContainer)) {
            bool otherPage = false;
            for (uint32_t child : d.children) {
                if (child == 0) {
                    otherPage = true;
                } else if (otherPage) {
                    UnitLocation hidden;
                    if (units.locate(child, hidden)) visible[hidden.index] = false;
                }
            }
        }
    }

    // 8. Z-order follows template order within each parent.
    std::vector<uint32_t> parents(count, 0);
    for (uint32_t i = 1; i < count; ++i) {
        UnitLocation unit;
        if (!units.locateIndex(i, unit) || unit.menuItem) continue;
        parents[i] = unit.describe().parent;
        HWND after = HWND_TOP;
        for (uint32_t j = i; j-- > 1;) {
            UnitLocation earlier;
            if (parents[j] == parents[i] && units.locateIndex(j, earlier) && !earlier.menuItem && handleOf(earlier)) {
                after = handleOf(earlier);
                break;
            }
        }
        SetWindowPos(handleOf(unit), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    // 9. Mouse pointers.
    for (uint32_t i = 1; i < count; ++i) {
        UnitLocation unit;
        if (!units.locateIndex(i, unit) || unit.menuItem) continue;
        UnitCursor cursor = cursorFromData(unit.describe().cursorData);
        unit.setCursor(cursor.get());
        if (UnitObject* object = unit.object()) object->setCursor(cursor.get());
        load.cursors[unit.id] = std::move(cursor);
    }

    // 10. Tell the controls (last to first), then the window.
    for (uint32_t i = count; i-- > 1;) {
        UnitLocation unit;
        if (units.locateIndex(i, unit) && handleOf(unit)) SendMessageA(handleOf(unit), kMsgControlsCreated, 0, 0);
    }
    SendMessageA(windowHandle, kMsgWindowPrepared, 0, 0);

    // 11. Visibility of the controls.
    for (uint32_t i = 1; i < count; ++i) {
        UnitLocation unit;
        if (units.locateIndex(i, unit) && handleOf(unit))
            ShowWindow(handleOf(unit), visible[i] ? SW_SHOWNA : SW_HIDE);
    }

    // 12. Accelerators: the item data that would carry the keys isn't
    // interpreted by this runtime, so menus come without them.
    // 13.
    unblock.now();

    // 14. Creation events, then the window shows.
    windowObject->raise(0);
    if (IsWindow(windowHandle)) windowObject->raise(3);
    if (IsWindow(windowHandle)) windowObject->raise(4);
    if (!IsWindow(windowHandle)) return 1;
    if (visible[0]) {
        const WindowBlock& block = windowObject->block();
        int show = SW_SHOWNORMAL;
        if (block.startPosition == 2) show = SW_SHOWMINIMIZED;
        else if (block.startPosition == 3 && (block.borderStyle == 1 || block.borderStyle == 3 || block.borderStyle == 5))
            show = SW_SHOWMAXIMIZED;
        // The focus event of the unit that receives the focus comes from its
        // WM_SETFOCUS during the show.
        ShowWindow(windowHandle, show);
        if (!IsWindow(windowHandle)) return 1;
    }

    // 15. Modal: every other loaded top-level window is disabled meanwhile.
    if (mode == 1 && window.load) {
        window.load->modal = true;
        for (auto& other : windowRegistry().windows) {
            if (other.get() == &window) continue;
            HWND otherHandle = liveWindowOf(*other);
            if (!otherHandle || (GetWindowLongA(otherHandle, GWL_STYLE) & WS_CHILD)) continue;
            window.load->disabledByModal.emplace_back(otherHandle, IsWindowEnabled(otherHandle) != FALSE);
            EnableWindow(otherHandle, FALSE);
        }
    }

    // 16. Load finished.
    HWND focus = GetFocus();
    for (uint32_t i = count; i-- > 1 && window.load;) {
        UnitLocation unit;
        if (window.load->units.locateIndex(i, unit) && handleOf(unit))
            SendMessageA(handleOf(unit), kMsgLoadFinished, 0, 0);
    }
    if (GetFocus() != focus && focus && IsWindow(focus)) SetFocus(focus);
    if (window.load) window.load->fullyLoaded = true;
    return 1;
}

void windowDestroyed(uint32_t windowId) {
    WindowRecord* window = findWindowRecord(windowId);
    if (!window || !window->load) return;
    rt::RuntimeApp& app = rt::RuntimeApp::instance();
    endModalState(*window->load);
    if (app.modalWindowId == windowId) app.modalWindowId = 0;
    HMENU menu = window->load->menu;
    HACCEL accelerators = window->load->accelerators;
    window->liveWindow = nullptr;
    window->load.reset();
    if (menu) DestroyMenu(menu);
    if (accelerators) DestroyAcceleratorTable(accelerators);
    app.afterTopLevelDestroyed();
}

bool raiseMenuCommand(uint32_t windowId, uint32_t commandId) {
    WindowRecord* window = findWindowRecord(windowId);
    if (!window || !window->load || commandId <= kMenuCommandBase) return false;
    UnitLocation unit;
    if (!window->load->units.locateIndex(commandId - kMenuCommandBase, unit) || !unit.menuItem) return false;
    EventRequest request{windowId, unit.id, 0, 0, {}, 0, 0};
    rt::requestService(rt::kSvcFireEvent, static_cast<int32_t>(reinterpret_cast<uintptr_t>(&request)), 0);
    return true;
}

void markForDestruction(uint32_t windowId) {
    WindowRecord* window = findWindowRecord(windowId);
    HWND hwnd = window ? liveWindowOf(*window) : nullptr;
    if (!hwnd || !window->load) return;
    window->load->destroyMarked = true;
    PostMessageA(hwnd, kMsgDestroyMarked, 0, 0);
}

bool windowMarkedForDestruction(uint32_t windowId) {
    WindowRecord* window = findWindowRecord(windowId);
    return window && window->load && window->load->destroyMarked;
}

}  // namespace ui
