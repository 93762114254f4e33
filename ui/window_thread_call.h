// Requests on a window from a thread other than the window's own.
//
// Windows and controls belong to the thread that created them (the
// user-interface thread): only it may change, draw on or destroy them. A
// request made from another thread (a worker setting the timer interval or a
// caption, drawing on a draw panel, destroying the window, showing a message
// box owned by the window) is carried to the window's thread by a
// synchronous send of the private message kMsgWindowThreadCall whose lParam
// is the request. The window's thread runs it inside its window procedure;
// the caller continues only once the request has run. Because every request
// of one caller is a synchronous send, requests take effect in the order the
// caller issued them, and after the earlier ones are complete.
//
// No deadlock when the user-interface thread is gone: the target must still
// exist when the request is sent (a destroyed window, or one whose thread has
// ended, makes the send fail at once and the call returns false without
// running the request). A request made on the window's own thread runs
// directly, without a message.
//
// Every window procedure of the window runtime passes kMsgWindowThreadCall
// to handleWindowThreadCall first; the request may therefore be addressed to
// any window of the runtime (top-level window or control).
#pragma once

#include <windows.h>

#include <functional>

namespace ui {

constexpr UINT kMsgWindowThreadCall = 0x8301;

// Runs `request` on the thread that owns `window` and returns after it ran.
// Returns false, without running it, when `window` is null or no longer
// exists. `request` must not throw (the window procedure is an error
// boundary: an exception is swallowed there and the call reports false).
bool runOnWindowThread(HWND window, const std::function<void()>& request);

// True when the calling thread may act on `window` directly.
bool onWindowThread(HWND window);

// For window procedures: handles kMsgWindowThreadCall; returns true when the
// message was such a request (its result is then in `result`).
bool handleWindowThreadCall(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace ui
