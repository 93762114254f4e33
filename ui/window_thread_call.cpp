#include "ui/window_thread_call.h"

namespace ui {

namespace {
struct ThreadCall {
    const std::function<void()>* request;
    bool ran;
};
}  // namespace

bool onWindowThread(HWND window) {
    return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

bool runOnWindowThread(HWND window, const std::function<void()>& request) {
    if (!window || !IsWindow(window)) return false;
    if (onWindowThread(window)) {
        try {
            request();
            return true;
        } catch (...) {
            return false;
        }
    }
    // The send returns at once when the window is gone or its thread ended;
    // `ran` tells whether the request got to run.
    ThreadCall call{&request, false};
    SendMessageA(window, kMsgWindowThreadCall, 0, reinterpret_cast<LPARAM>(&call));
    return call.ran;
}

bool handleWindowThreadCall(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != kMsgWindowThreadCall) return false;
    result = 0;
    // Only a sent message can carry a request: its sender is still waiting.
    auto call = reinterpret_cast<ThreadCall*>(lParam);
    if (!call || !InSendMessage()) return true;
    try {
        (*call->request)();
        call->ran = true;
    } catch (...) {
    }
    return true;
}

}  // namespace ui
