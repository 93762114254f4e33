// Running a request on the thread that owns a window.
//
// Windows belong to the thread that created them: only it may change, draw
// on or destroy them. A request from another thread is carried there by a
// synchronous send of kMsgThreadCall whose lParam is a cookie naming the
// request in a process-local table of pending calls; a message whose cookie
// is not pending (sent by another process, or stale) runs nothing. Because
// each request of one caller is a synchronous send, a caller's requests take
// effect in the order issued. A destroyed window, or one whose thread ended,
// makes the send fail at once: the call never blocks on a gone target.
#pragma once

#include <windows.h>

#include <functional>

namespace rt {

constexpr UINT kMsgThreadCall = 0x8301;

enum class ThreadCallResult {
    ran,         // the request ran to its end
    windowGone,  // no window (or thread) to run it on: it did not run
    failed,      // it ran and threw; the exception stopped at the boundary
};

// Runs `request` on the thread that owns `window` (directly when that is the
// calling thread) and returns once it has run.
ThreadCallResult runOnThreadOf(HWND window, const std::function<void()>& request);

// Runs `request` on the main thread through the hidden owner window, or
// directly on the main thread (or before the runtime's start-up, when there
// is none yet). windowGone once the runtime is shutting down.
ThreadCallResult runOnMainThread(const std::function<void()>& request);

// True when the calling thread may act on `window` directly.
bool onThreadOf(HWND window);

// MessageBoxA(owner, text, caption, flags) shown on the owner's thread, so
// that it takes its place among that thread's other requests; the caller
// waits until the user closed it. With a null or vanished owner the box is
// shown on the calling thread without owner. Returns MessageBoxA's result.
int messageBoxOwnedBy(HWND owner, const char* text, const char* caption, UINT flags);

// For window procedures: handles kMsgThreadCall; true when the message was
// one (its result is then in `result`).
bool handleThreadCall(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace rt
