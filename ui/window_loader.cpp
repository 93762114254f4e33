#include "ui/window_loader.h"

#include <algorithm>
#include <type_traits>

#include "runtime/runtime_app.h"
#include "runtime/service_request.h"
#include "ui/byte_stream.h"
#include "ui/class_registry.h"
#include "ui/controls/window_control.h"
#include "ui/event_dispatch.h"
#include "ui/unit_object.h"
#include "ui/window_requests.h"

namespace ui {

namespace {

constexpr int32_t kModalMode = 1;
constexpr uint32_t kFirstControlId = 100;
constexpr uint32_t kControlIdStep = 10;

// Start positions of the window block that decide how the window first shows.
constexpr uint32_t kStartMinimised = 2;
constexpr uint32_t kStartMaximised = 3;

HWND handleOf(const UnitLocation& unit) {
    UnitObject* object = unit.object();
    return object ? object->handle() : nullptr;
}

// The handle of the loaded window's own unit, null when it has none.
HWND windowHandleOf(LoadedWindow& load) {
    UnitLocation unit0;
    return load.units.locateIndex(0, unit0) ? handleOf(unit0) : nullptr;
}

enum class Order { kTemplate, kLastFirst };

// Visits `unit`; false when the visit asks to end the walk (a visit that
// returns nothing never does).
template <typename Visit>
bool visitGoesOn(Visit& visit, UnitLocation& unit) {
    if constexpr (std::is_void_v<std::invoke_result_t<Visit&, UnitLocation&>>) {
        visit(unit);
        return true;
    } else {
        return visit(unit);
    }
}

// Visits every unit after unit 0 whose record can be found, in `order`, until
// a visit returns false (the table may be gone by then).
template <typename Visit>
void forEachUnit(UnitTable& units, Order order, Visit&& visit) {
    uint32_t count = units.unitCount;
    for (uint32_t n = 1; n < count; ++n) {
        UnitLocation unit;
        if (units.locateIndex(order == Order::kTemplate ? n : count - n, unit) && !visitGoesOn(visit, unit)) return;
    }
}

// forEachUnit without the menu items: the controls.
template <typename Visit>
void forEachControl(UnitTable& units, Order order, Visit&& visit) {
    forEachUnit(units, order, [&visit](UnitLocation& unit) { return unit.menuItem || visitGoesOn(visit, unit); });
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
    HWND hwnd = windowHandleOf(*load);
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

// Re-enables what the modal load disabled.
void endModalState(LoadedWindow& load) {
    for (auto& [other, wasEnabled] : load.disabledByModal)
        if (IsWindow(other)) EnableWindow(other, wasEnabled);
    load.disabledByModal.clear();
    load.modal = false;
}

// Keeps every event from its handler while it lives.
class EventBlock {
public:
    EventBlock() : app_(rt::RuntimeApp::instance()) { ++app_.eventBlockCount; }
    ~EventBlock() {
        if (app_.eventBlockCount.load() > 0) --app_.eventBlockCount;
    }
    EventBlock(const EventBlock&) = delete;
    EventBlock& operator=(const EventBlock&) = delete;

private:
    rt::RuntimeApp& app_;
};

// What the steps of one load share.
struct LoadContext {
    LoadContext(WindowRecord& loaded, HWND ownerWindow) : window(loaded), owner(ownerWindow) {}

    WindowRecord& window;
    HWND owner;
    std::vector<bool> visible;   // by unit index: whether it shows once loaded
    HWND windowHandle = nullptr;
    WindowControl* windowObject = nullptr;
    uint32_t nextControlId = kFirstControlId;

    // The per-load copy: valid until the window's handlers run.
    UnitTable& units() { return window.load->units; }
};

// An open window comes forward (out of a modal state first): true then. A
// per-load copy whose window went is dropped.
bool bringForward(WindowRecord& window) {
    if (!window.load) return false;
    HWND existing = windowHandleOf(*window.load);
    if (existing && IsWindow(existing)) {
        if (window.load->modal) endModalState(*window.load);
        if (IsIconic(existing)) ShowWindow(existing, SW_RESTORE);
        else SetActiveWindow(existing);
        return true;
    }
    window.load.reset();
    window.liveWindow = nullptr;
    return false;
}

// A modal load has no owner; without one the hidden owner owns the window.
// False for an owner that isn't a window.
bool chooseOwner(int32_t mode, HWND& owner) {
    if (mode == kModalMode) owner = nullptr;
    if (owner && !IsWindow(owner)) return false;
    if (!owner) owner = rt::RuntimeApp::instance().hiddenOwner();
    return true;
}

// Makes the per-load copy of the units; false (and none) without units.
bool startLoad(LoadContext& c) {
    c.window.load = std::make_unique<LoadedWindow>();
    c.window.load->units = c.window.units;
    uint32_t count = c.units().unitCount;
    if (count == 0) {
        c.window.load.reset();
        return false;
    }
    c.visible.assign(count, false);
    return true;
}

// Menu items become a menu bar, in template order.
void buildMenuBar(LoadedWindow& load) {
    forEachUnit(load.units, Order::kTemplate, [&load](UnitLocation& unit) {
        if (!unit.menuItem) return;
        if (!load.menu) load.menu = CreateMenu();
        AppendMenuA(load.menu, MF_STRING, kMenuCommandBase + unit.index, unit.describe().caption.c_str());
    });
}

struct UnitStyle {
    DWORD extraStyle = 0;
    bool visible = false;
};

// The style bits of a unit from its state flags, and whether it shows: a
// unit whose class has no window of its own never does.
UnitStyle unitStyle(const UnitDescription& d, const ClassDescription& description) {
    UnitStyle style;
    if (!(description.flags & kClassNoWindow)) {
        if (d.stateFlags & kStateDisabled) style.extraStyle |= WS_DISABLED;
        style.visible = (d.stateFlags & kStateVisible) != 0;
    }
    if (d.stateFlags & kStateTabStop) style.extraStyle |= WS_TABSTOP;
    return style;
}

// The create request of a unit: the window is owned by the load's owner and
// carries the menu; controls are children of the window and take the next
// control identifier.
CreateRequest createRequest(LoadContext& c, const UnitLocation& unit, const UnitDescription& d, DWORD extraStyle) {
    CreateRequest request;
    request.data = d.propertyData.empty() ? nullptr : d.propertyData.data();
    request.length = static_cast<int32_t>(d.propertyData.size());
    request.extraStyle = extraStyle;
    request.left = d.left;
    request.top = d.top;
    request.width = d.width;
    request.height = d.height;
    request.windowId = c.window.id;
    request.unitId = unit.id;
    if (unit.index == 0) {
        request.parent = request.parentAgain = c.owner;
        request.menu = c.window.load->menu;
    } else {
        request.parent = request.parentAgain = c.windowHandle;
        request.controlId = c.nextControlId;
        c.nextControlId += kControlIdStep;
    }
    return request;
}

// Takes the window unit's object as the load's window; false when it has no
// live window.
bool adoptWindow(LoadContext& c, const UnitLocation& unit, UnitObject* object) {
    c.windowObject = dynamic_cast<WindowControl*>(object);
    c.windowHandle = object ? object->handle() : nullptr;
    if (!c.windowHandle || !IsWindow(c.windowHandle)) {
        // A window that went took its object with it.
        unit.setObject(nullptr);
        return false;
    }
    c.window.liveWindow = c.windowHandle;
    return true;
}

// Creates unit `index` into its object slot (menu items have none); false
// when its record, its class's create routine or its object is missing.
bool createUnit(LoadContext& c, uint32_t index) {
    UnitLocation unit;
    if (!c.units().locateIndex(index, unit)) return false;
    if (unit.menuItem) return true;
    UnitDescription d = unit.describe();
    const ClassDescription* description = findClass(d.classId);
    CreateRoutine create = description ? createRoutine(*description) : nullptr;
    if (!create) return false;
    UnitStyle style = unitStyle(d, *description);
    c.visible[index] = style.visible;
    UnitObject* object = create(createRequest(c, unit, d, style.extraStyle));
    unit.setObject(object);
    return index == 0 ? adoptWindow(c, unit, object) : object != nullptr;
}

// The window first, then the controls from the last to unit 1 (so the last
// gets the first control identifier). False at the first that fails.
bool createUnits(LoadContext& c) {
    if (!createUnit(c, 0)) return false;
    for (uint32_t index = c.units().unitCount; index-- > 1;)
        if (!createUnit(c, index)) return false;
    return true;
}

// The units after a container's 0 separator (its other pages) start hidden.
void hideOtherPages(UnitTable& units, const std::vector<uint32_t>& children, std::vector<bool>& visible) {
    bool otherPage = false;
    for (uint32_t child : children) {
        if (child == 0) {
            otherPage = true;
        } else if (otherPage) {
            UnitLocation hidden;
            if (units.locate(child, hidden)) visible[hidden.index] = false;
        }
    }
}

// Each control goes into its parent unit's window (unit 0: the window, where
// it was created).
void parentControls(LoadContext& c) {
    UnitTable& units = c.units();
    forEachControl(units, Order::kTemplate, [&](UnitLocation& unit) {
        UnitDescription d = unit.describe();
        if (d.parent != 0) {
            UnitLocation parent;
            if (units.locate(d.parent, parent) && handleOf(parent)) SetParent(handleOf(unit), handleOf(parent));
        }
        const ClassDescription* description = findClass(d.classId);
        if (description && (description->flags & kClassContainer)) hideOtherPages(units, d.children, c.visible);
    });
}

// Z-order (and so tab order) follows template order within each parent:
// each control goes right behind the nearest earlier one of the same parent.
void orderControls(UnitTable& units) {
    struct Placed {
        uint32_t parent;
        HWND handle;
    };
    std::vector<Placed> placed;
    forEachControl(units, Order::kTemplate, [&placed](UnitLocation& unit) {
        uint32_t parent = unit.describe().parent;
        auto earlier = std::find_if(placed.rbegin(), placed.rend(),
                                    [parent](const Placed& p) { return p.parent == parent && p.handle; });
        HWND after = earlier != placed.rend() ? earlier->handle : HWND_TOP;
        SetWindowPos(handleOf(unit), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        placed.push_back({parent, handleOf(unit)});
    });
}

// Each control's mouse pointer from its cursor data; made ones stay with the
// load.
void attachPointers(LoadedWindow& load) {
    forEachControl(load.units, Order::kTemplate, [&load](UnitLocation& unit) {
        UnitCursor cursor = cursorFromData(unit.describe().cursorData);
        unit.setCursor(cursor.get());
        if (UnitObject* object = unit.object()) object->setCursor(cursor.get());
        load.cursors[unit.id] = std::move(cursor);
    });
}

// Tells the controls (last to first), then the window, that all exist.
void announceCreation(LoadContext& c) {
    forEachControl(c.units(), Order::kLastFirst, [](UnitLocation& unit) {
        if (HWND control = handleOf(unit)) SendMessageA(control, kMsgControlsCreated, 0, 0);
    });
    SendMessageA(c.windowHandle, kMsgWindowPrepared, 0, 0);
}

// The visible controls show (without activating), the others hide.
void showControls(LoadContext& c) {
    forEachControl(c.units(), Order::kTemplate, [&c](UnitLocation& unit) {
        if (HWND control = handleOf(unit)) ShowWindow(control, c.visible[unit.index] ? SW_SHOWNA : SW_HIDE);
    });
}

// Everything of the load that no handler may see: the per-load copy, the
// units, their places, pointers and visibility. False when the load failed
// (and left nothing behind).
bool buildUnits(LoadContext& c) {
    EventBlock block;
    if (!startLoad(c)) return false;
    buildMenuBar(*c.window.load);
    if (!createUnits(c)) {
        abandonLoad(c.window);
        return false;
    }
    parentControls(c);
    orderControls(c.units());
    attachPointers(*c.window.load);
    announceCreation(c);
    showControls(c);
    // The item data that would carry a menu's accelerator keys isn't
    // interpreted by this runtime, so menus come without them.
    return true;
}

// The creation events: created, moved, resized, each while the window still
// exists. False when a handler destroyed it.
bool raiseCreationEvents(const LoadContext& c) {
    c.windowObject->raise(kWindowCreated);
    if (IsWindow(c.windowHandle)) c.windowObject->raise(kWindowMoved);
    if (IsWindow(c.windowHandle)) c.windowObject->raise(kWindowResized);
    return IsWindow(c.windowHandle) != FALSE;
}

// Minimised or maximised when the start position asks for it; a window
// maximises only with a sizing border (1, 3, 5).
int firstShowCommand(const WindowBlock& block) {
    if (block.startPosition == kStartMinimised) return SW_SHOWMINIMIZED;
    bool sizable = block.borderStyle == 1 || block.borderStyle == 3 || block.borderStyle == 5;
    if (block.startPosition == kStartMaximised && sizable) return SW_SHOWMAXIMIZED;
    return SW_SHOWNORMAL;
}

// Shows a visible window; false when that destroyed it. The focus event of
// the unit that receives the focus comes from its WM_SETFOCUS meanwhile.
bool showLoadedWindow(const LoadContext& c) {
    if (!c.visible[0]) return true;
    ShowWindow(c.windowHandle, firstShowCommand(c.windowObject->block()));
    return IsWindow(c.windowHandle) != FALSE;
}

// Every other loaded top-level window is disabled while this one is modal.
void makeModal(WindowRecord& window) {
    window.load->modal = true;
    for (auto& other : windowRegistry().windows) {
        if (other.get() == &window) continue;
        HWND otherHandle = liveWindowOf(*other);
        if (!otherHandle || (GetWindowLongA(otherHandle, GWL_STYLE) & WS_CHILD)) continue;
        window.load->disabledByModal.emplace_back(otherHandle, IsWindowEnabled(otherHandle) != FALSE);
        EnableWindow(otherHandle, FALSE);
    }
}

// Tells the controls (last to first) that the load is over, keeping the
// focus where it was, and marks the window fully loaded.
void finishLoad(WindowRecord& window) {
    HWND focus = GetFocus();
    if (LoadedWindow* load = window.load.get()) {
        forEachControl(load->units, Order::kLastFirst, [&window, load](UnitLocation& unit) {
            if (HWND control = handleOf(unit)) SendMessageA(control, kMsgLoadFinished, 0, 0);
            // A message that ended the window took the table with it.
            return window.load.get() == load;
        });
    }
    if (GetFocus() != focus && focus && IsWindow(focus)) SetFocus(focus);
    if (window.load) window.load->fullyLoaded = true;
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
    if (bringForward(window)) return 1;
    if (!chooseOwner(mode, owner)) return 0;
    LoadContext load{window, owner};
    if (!buildUnits(load)) return 0;
    // From here on handlers run, and any of them may destroy the window and
    // with it the per-load copy.
    if (!raiseCreationEvents(load) || !showLoadedWindow(load)) return 1;
    if (mode == kModalMode && window.load) makeModal(window);
    finishLoad(window);
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
