#include "runtime/framework/window_object.h"

#include <map>

namespace fw {

namespace {
SRWLOCK gMapLock = SRWLOCK_INIT;

struct MapGuard {
    MapGuard() { AcquireSRWLockExclusive(&gMapLock); }
    ~MapGuard() { ReleaseSRWLockExclusive(&gMapLock); }
};
std::map<HWND, WindowObject*>& handleMap() {
    static std::map<HWND, WindowObject*> map;
    return map;
}
}  // namespace

WindowObject::~WindowObject() { detach(); }

bool WindowObject::attach(HWND handle) {
    if (!handle || handle_) return false;
    MapGuard guard;
    if (!handleMap().emplace(handle, this).second) return false;
    handle_ = handle;
    return true;
}

HWND WindowObject::detach() {
    HWND handle = handle_;
    if (handle) {
        MapGuard guard;
        handleMap().erase(handle);
        handle_ = nullptr;
    }
    return handle;
}

WindowObject* WindowObject::fromHandle(HWND handle) {
    MapGuard guard;
    auto it = handleMap().find(handle);
    return it == handleMap().end() ? nullptr : it->second;
}

}  // namespace fw
