#include "ui/event_dispatch.h"

#include <vector>

#include "runtime/data_cell.h"
#include "runtime/error_boundary.h"
#include "runtime/runtime_app.h"
#include "runtime/runtime_error.h"
#include "ui/byte_stream.h"
#include "ui/class_registry.h"
#include "ui/window_registry.h"

namespace ui {

namespace {

uint32_t classIdOf(const UnitLocation& unit) { return loadWord(unit.record); }
uint32_t linkOf(const UnitLocation& unit) { return loadWord(unit.record + 4); }

// The windows whose handlers run on this thread, innermost last.
thread_local std::vector<uint32_t>* tHandlingWindows = nullptr;
thread_local std::vector<HWND>* tDeferredCloses = nullptr;

// The closes that waited for the handlers go to their windows now.
void deliverDeferredCloses() {
    std::vector<HWND>* closes = tDeferredCloses;
    if (!closes) return;
    tDeferredCloses = nullptr;
    rt::RuntimeApp::instance().setClosePending(false);
    for (HWND window : *closes)
        if (IsWindow(window)) PostMessageA(window, WM_CLOSE, 0, 0);
    delete closes;
}

// Calls the handler of a unit of `windowId` as the error boundary between
// runtime and application.
HandlerResult callHandler(uint32_t windowId, EventHandler handler, const uint32_t* words, uint32_t count) {
    if (!tHandlingWindows) tHandlingWindows = new std::vector<uint32_t>;
    tHandlingWindows->push_back(windowId);
    HandlerResult result = rt::protectedCall(HandlerResult::none(), [&] { return handler(words, count); });
    tHandlingWindows->pop_back();
    if (tHandlingWindows->empty()) deliverDeferredCloses();
    return result;
}

struct SourceScope {
    uint32_t savedWindow, savedUnit;
    SourceScope() {
        WindowRegistry& registry = windowRegistry();
        savedWindow = registry.eventWindowId;
        savedUnit = registry.eventUnitId;
    }
    ~SourceScope() {
        WindowRegistry& registry = windowRegistry();
        registry.eventWindowId = savedWindow;
        registry.eventUnitId = savedUnit;
    }
};

}  // namespace

EventHandler findHandler(uint32_t windowId, uint32_t unitId, int32_t event) {
    if (rt::RuntimeApp::instance().eventBlockCount.load() >= 1) return nullptr;
    WindowRecord* window = findWindowRecord(windowId);
    if (!window) rt::reportRuntimeError("未找到引发事件的窗口", 0, static_cast<int32_t>(windowId), static_cast<int32_t>(unitId));
    UnitLocation unit;
    if (!findUnitRecord(*window, unitId, unit))
        rt::reportRuntimeError("未找到引发事件的窗口组件", 0, static_cast<int32_t>(windowId), static_cast<int32_t>(unitId));
    uint32_t sourceUnit = unit.id;

    // Units sharing one set of handlers link to the unit that holds them.
    uint32_t classId = classIdOf(unit);
    for (uint32_t hops = 0; linkOf(unit) != 0 && hops < window->units.unitCount; ++hops) {
        UnitLocation linked;
        if (!findUnitRecord(*window, linkOf(unit), linked) || classIdOf(linked) != classId) break;
        unit = linked;
    }

    const ClassDescription* description = findClass(classId);
    if (!description || !(description->flags & kClassHasEvents))
        rt::reportRuntimeError("引发事件的窗口组件无效", 0, static_cast<int32_t>(windowId), static_cast<int32_t>(unitId));

    uint32_t handler = 0;
    if (unit.menuItem) {
        handler = loadWord(unit.bindings);
    } else {
        uint32_t count = loadWord(unit.bindings);
        for (uint32_t b = 0; b < count; ++b) {
            const uint8_t* pair = unit.bindings + 4 + 8 * b;
            if (static_cast<int32_t>(loadWord(pair)) == event) {
                handler = loadWord(pair + 4);
                break;
            }
        }
    }
    if (!handler) return nullptr;
    WindowRegistry& registry = windowRegistry();
    registry.eventWindowId = windowId;
    registry.eventUnitId = sourceUnit;
    return reinterpret_cast<EventHandler>(static_cast<uintptr_t>(handler));
}

int32_t raiseEvent(EventRequest& request) {
    SourceScope scope;
    EventHandler handler = findHandler(request.windowId, request.unitId, request.event);
    if (!handler) return 0;
    uint32_t count = request.argumentCount > 5 ? 5 : request.argumentCount;
    HandlerResult result = callHandler(request.windowId, handler, request.arguments, count);
    if (result.hasValue) {
        request.hasResult = 1;
        request.result = static_cast<uint32_t>(result.value);
    }
    return 1;
}

int32_t raiseTypedEvent(TypedEventRequest& request) {
    SourceScope scope;
    EventHandler handler = findHandler(request.windowId, request.unitId, request.event);
    if (!handler) return 0;
    std::vector<uint32_t> words;
    uint32_t count = request.argumentCount > 12 ? 12 : request.argumentCount;
    for (uint32_t i = 0; i < count; ++i) {
        const TypedArgument& argument = request.arguments[i];
        if (argument.flags || (argument.type & rt::kVariableAddressFlag)) {
            words.push_back(argument.lo);  // the address
        } else {
            words.push_back(argument.lo);
            if (rt::typeWidth(argument.type) == 8) words.push_back(argument.hi);
        }
    }
    HandlerResult result =
        callHandler(request.windowId, handler, words.data(), static_cast<uint32_t>(words.size()));
    if (result.hasValue) {
        request.hasResult = 1;
        request.resultLo = static_cast<uint32_t>(result.value);
        request.resultHi = static_cast<uint32_t>(result.value >> 32);
    }
    return 1;
}

bool handlerRunningFor(uint32_t windowId) {
    if (!tHandlingWindows) return false;
    for (uint32_t running : *tHandlingWindows)
        if (running == windowId) return true;
    return false;
}

void closeAfterHandlers(HWND window) {
    if (!tDeferredCloses) tDeferredCloses = new std::vector<HWND>;
    for (HWND pending : *tDeferredCloses)
        if (pending == window) return;
    tDeferredCloses->push_back(window);
    rt::RuntimeApp::instance().setClosePending(true);
}

void currentEventSource(uint32_t& windowId, uint32_t& unitId) {
    WindowRegistry& registry = windowRegistry();
    windowId = registry.eventWindowId;
    unitId = registry.eventUnitId;
}

}  // namespace ui
