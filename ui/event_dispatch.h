// Numbered events of units reach the application handlers bound to them in
// the window template. There is no queue: a raiser calls raiseEvent inside
// its message handling and the handler runs before it returns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/event_handler.h"

namespace ui {

// The plain request of service 2008.
struct EventRequest {
    uint32_t windowId;
    uint32_t unitId;        // 0: the window's own unit
    int32_t event;
    uint32_t argumentCount; // 0 to 5
    uint32_t arguments[5];
    uint32_t hasResult;     // set to 1 by the runtime when the handler returned a value
    uint32_t result;
};
static_assert(sizeof(EventRequest) == 44, "eleven words");

// The typed request of service 2031: arguments as typed cells.
struct TypedArgument {
    uint32_t lo, hi;
    uint32_t type;
    uint32_t flags;    // non-zero: the argument is passed by address
};
struct TypedEventRequest {
    uint32_t windowId;
    uint32_t unitId;
    int32_t event;
    uint32_t argumentCount; // 0 to 12
    TypedArgument arguments[12];
    uint32_t hasResult;
    uint32_t resultLo, resultHi;
};
static_assert(sizeof(TypedEventRequest) == 16 + 192 + 12, "no padding");

// The handler bound to the event, or null (events blocked, unbound, or a
// lookup failure, which is reported as a runtime error). On success the
// current event source is recorded.
EventHandler findHandler(uint32_t windowId, uint32_t unitId, int32_t event);

// 0 when no handler ran, 1 after calling it.
int32_t raiseEvent(EventRequest& request);
int32_t raiseTypedEvent(TypedEventRequest& request);

// The unit whose event is being handled (0, 0 outside handlers).
void currentEventSource(uint32_t& windowId, uint32_t& unitId);

// A handler of a unit of `windowId` is running on the calling thread (it may
// be pumping messages, as a blocking request does).
bool handlerRunningFor(uint32_t windowId);

// A close that arrives while a handler of its window runs must not destroy
// the window (and end the program) underneath it: the window is closed once
// the outermost handler of this thread has returned. The runtime's close-pending state is
// set meanwhile, so blocking work can give up early.
void closeAfterHandlers(HWND window);

}  // namespace ui
