#include "runtime/thread_call.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "runtime/error_boundary.h"
#include "runtime/runtime_app.h"

namespace rt {

namespace {

struct PendingCall {
    const std::function<void()>* request;
    ThreadCallResult result;
};

// Calls in flight, by cookie. A cookie is never reused while its sender
// waits, so a handler finds only the call it was sent for.
class PendingCalls {
public:
    LPARAM add(PendingCall& call) {
        std::lock_guard<std::mutex> lock(mutex_);
        LPARAM cookie = static_cast<LPARAM>(++lastCookie_ & 0x7FFFFFFF);
        calls_[cookie] = &call;
        return cookie;
    }
    void remove(LPARAM cookie) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.erase(cookie);
    }
    // Takes the call out: a cookie runs its call once at most.
    PendingCall* take(LPARAM cookie) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = calls_.find(cookie);
        if (it == calls_.end()) return nullptr;
        PendingCall* call = it->second;
        calls_.erase(it);
        return call;
    }

private:
    std::mutex mutex_;
    uint32_t lastCookie_ = 0;
    std::unordered_map<LPARAM, PendingCall*> calls_;
};

PendingCalls& pendingCalls() {
    static PendingCalls* calls = new PendingCalls;  // outlives every thread's last call
    return *calls;
}

ThreadCallResult runHere(const std::function<void()>& request) {
    return protectedRun(request) ? ThreadCallResult::ran : ThreadCallResult::failed;
}

}  // namespace

bool onThreadOf(HWND window) {
    return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

ThreadCallResult runOnThreadOf(HWND window, const std::function<void()>& request) {
    if (!window || !IsWindow(window)) return ThreadCallResult::windowGone;
    if (onThreadOf(window)) return runHere(request);
    PendingCall call{&request, ThreadCallResult::windowGone};
    const LPARAM cookie = pendingCalls().add(call);
    SendMessageA(window, kMsgThreadCall, 0, cookie);
    pendingCalls().remove(cookie);
    return call.result;
}

ThreadCallResult runOnMainThread(const std::function<void()>& request) {
    RuntimeApp& app = RuntimeApp::instance();
    // Before start-up (a host without the runtime's start) there is no main
    // thread to go to.
    if (app.isMainThread() || !app.started()) return runHere(request);
    if (app.shuttingDown()) return ThreadCallResult::windowGone;
    return runOnThreadOf(app.hiddenOwner(), request);
}

int messageBoxOwnedBy(HWND owner, const char* text, const char* caption, UINT flags) {
    int result = 0;
    ThreadCallResult call = runOnThreadOf(owner, [&] { result = MessageBoxA(owner, text, caption, flags); });
    // Without an owner to show it on, the box is shown here, unowned; a box
    // that was shown (or failed to be) is not shown twice.
    if (call == ThreadCallResult::windowGone) result = MessageBoxA(nullptr, text, caption, flags);
    return result;
}

bool handleThreadCall(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != kMsgThreadCall) return false;
    result = 0;
    if (PendingCall* call = pendingCalls().take(lParam)) call->result = runHere(*call->request);
    return true;
}

}  // namespace rt
