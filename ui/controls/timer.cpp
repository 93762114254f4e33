#include "ui/controls/timer.h"

#include "ui/controls/controls.h"

namespace ui {

namespace {
constexpr const char* kClassName = "_RT_Timer";
constexpr PropertyDescription kProperties[Timer::kPropertyCount] = {{kPropInteger, 0}};
}  // namespace

const ClassDescription kTimerClass = {kClassName, kClassHasEvents | kClassNoWindow, Timer::kPropertyCount, kProperties,
                                      &standardInterface<Timer>};

UnitObject* Timer::create(const CreateRequest& request) {
    auto timer = new Timer(request.windowId, request.unitId);
    if (!readBlockData(request.data, request.length, timer->block_)) {
        delete timer;
        return nullptr;
    }
    timer->designMode_ = request.designMode;
    registerClass(kClassName, CS_DBLCLKS, LoadCursorA(nullptr, IDC_ARROW));
    // A failed creation has deleted the object.
    if (!timer->createChildWindow(request, 0, kClassName, "", 0)) return nullptr;
    return timer;
}

void Timer::start() {
    if (block_.interval > 0 && !designMode_ && handle())
        running_ = SetTimer(handle(), kSystemTimerId, static_cast<UINT>(block_.interval), nullptr) != 0;
}

void Timer::stop() {
    if (running_ && handle()) KillTimer(handle(), kSystemTimerId);
    running_ = false;
}

void Timer::setInterval(int32_t interval) {
    if (interval < 0) interval = 0;
    if (interval == block_.interval) return;
    stop();
    block_.interval = interval;
    start();
}

bool Timer::getProperty(int32_t number, PropertyValue& out) {
    if (number != kInterval) return false;
    out.lo = static_cast<uint32_t>(block_.interval);
    return true;
}

void Timer::setProperty(int32_t number, const PropertyValue& value) {
    if (number == kInterval) setInterval(static_cast<int32_t>(value.lo));
}

LRESULT Timer::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: start(); return 0;
        case WM_TIMER:
            // KillTimer leaves a WM_TIMER that is already queued: a stopped
            // timer must not raise it (a late refresh would overwrite what
            // was drawn after the stop).
            if (wParam == kSystemTimerId && running_) raise(kTimerElapsed);
            return 0;
        case WM_DESTROY: stop(); return 0;
        default: return UnitObject::windowProc(message, wParam, lParam);
    }
}

}  // namespace ui
