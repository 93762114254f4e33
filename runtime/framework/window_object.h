// A framework window object: holds only its handle. The handle-to-object map
// lets the runtime find the object of a window (the 0x8002 query, attach and
// detach requests of the libraries).
#pragma once

#include <windows.h>

namespace fw {

class WindowObject {
public:
    WindowObject() = default;
    virtual ~WindowObject();
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;

    HWND handle() const { return handle_; }
    // False when the handle already has an object or this object a handle.
    bool attach(HWND handle);
    HWND detach();
    virtual BOOL PreTranslateMessage(MSG*) { return FALSE; }

    static WindowObject* fromHandle(HWND handle);

private:
    HWND handle_ = nullptr;
};

}  // namespace fw
