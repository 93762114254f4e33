// A bound on one exchange of the HTTP request object. Its own time-outs are
// per step and a server that sends a byte now and then resets them forever;
// so a watcher thread aborts the exchange when its deadline has passed, or
// at once when a close is waiting for the running handler (the user asked
// the program to end). "Abort" is the object's own way to end a running
// "Send"; it is called on the watcher's thread, the object is thread-safe.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

namespace web {

class RequestDeadline {
public:
    // No deadline with `milliseconds` 0: only a waiting close aborts.
    RequestDeadline(IUnknown* requestObject, uint32_t milliseconds);
    ~RequestDeadline();
    RequestDeadline(const RequestDeadline&) = delete;
    RequestDeadline& operator=(const RequestDeadline&) = delete;

    // Ends the watch; after it no abort can come. Returns whether the
    // exchange was aborted (then its results are not to be read).
    bool finish();

private:
    static DWORD WINAPI watch(void* self);

    IDispatch* dispatch_ = nullptr;
    DISPID abortId_ = DISPID_UNKNOWN;
    uint32_t milliseconds_;
    HANDLE finished_ = nullptr;
    HANDLE thread_ = nullptr;
    volatile LONG aborted_ = 0;
};

}  // namespace web
