#include "ui/unit_object.h"

#include "runtime/error_boundary.h"
#include "runtime/service_request.h"
#include "ui/event_dispatch.h"
#include "runtime/thread_call.h"

namespace ui {

namespace {

// An object whose window is being created, for the messages before
// CreateWindowExA returns; creations nest when a window's creation creates
// another one.
struct Creation {
    UnitObject* object;
    Creation* outer;
    bool objectDeleted = false;   // its window got as far as WM_NCDESTROY
};
thread_local Creation* tCreating = nullptr;

// Tells a creation in progress that its object is being deleted.
void noteDeleted(const UnitObject* object) {
    for (Creation* creation = tCreating; creation; creation = creation->outer)
        if (creation->object == object) creation->objectDeleted = true;
}

}  // namespace

bool UnitObject::raise(int32_t event, std::initializer_list<uint32_t> args, bool* hasResult, uint32_t* result) {
    EventRequest request{windowId_, unitId_, event, 0, {}, 0, 0};
    for (uint32_t arg : args)
        if (request.argumentCount < 5) request.arguments[request.argumentCount++] = arg;
    int32_t ran = rt::requestService(rt::kSvcFireEvent, static_cast<int32_t>(reinterpret_cast<uintptr_t>(&request)), 0);
    if (hasResult) *hasResult = request.hasResult != 0;
    if (result) *result = request.result;
    return ran != 0;
}

void UnitObject::registerClass(const char* name, UINT style, HCURSOR cursor) {
    WNDCLASSA existing;
    if (GetClassInfoA(GetModuleHandleA(nullptr), name, &existing)) return;
    WNDCLASSA windowClass{};
    windowClass.style = style;
    windowClass.lpfnWndProc = &UnitObject::sharedProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = nullptr;
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

HWND UnitObject::createWindow(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y,
                              int width, int height, HWND parent, HMENU menu) {
    Creation creation{this, tCreating};
    tCreating = &creation;
    HWND hwnd = CreateWindowExA(exStyle, className, text, style, x, y, width, height, parent, menu,
                                GetModuleHandleA(nullptr), this);
    tCreating = creation.outer;
    if (!hwnd && !creation.objectDeleted) delete this;
    return hwnd;
}

HWND UnitObject::createChildWindow(const CreateRequest& request, DWORD exStyle, const char* className,
                                   const char* text, DWORD style) {
    return createWindow(exStyle, className, text, WS_CHILD | WS_CLIPSIBLINGS | style | request.extraStyle,
                        request.left, request.top, request.width, request.height, request.parent,
                        reinterpret_cast<HMENU>(static_cast<uintptr_t>(request.controlId)));
}

LRESULT CALLBACK UnitObject::sharedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (rt::handleThreadCall(message, wParam, lParam, result)) return result;
    auto object = static_cast<UnitObject*>(fw::WindowObject::fromHandle(hwnd));
    if (!object && tCreating && !tCreating->objectDeleted && !tCreating->object->handle()) {
        object = tCreating->object;
        object->attach(hwnd);
    }
    if (!object) return DefWindowProcA(hwnd, message, wParam, lParam);
    // A message whose handling threw gets the default handling.
    const bool handled = rt::protectedRun([&] {
        if (message != WM_NCDESTROY) {
            result = object->windowProc(message, wParam, lParam);
            return;
        }
        object->windowProc(message, wParam, lParam);
        uint32_t windowId = object->windowId_, unitId = object->unitId_;
        object->detach();
        rt::requestService(rt::kSvcUnitDestroyed, static_cast<int32_t>(windowId), static_cast<int32_t>(unitId));
        noteDeleted(object);
        delete object;
        result = DefWindowProcA(hwnd, message, wParam, lParam);
    });
    return handled ? result : DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT UnitObject::defaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(handle(), message, wParam, lParam);
}

LRESULT UnitObject::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETCURSOR:
            if (cursor_ && LOWORD(lParam) == HTCLIENT) {
                SetCursor(cursor_);
                return TRUE;
            }
            break;
        case WM_SETFOCUS: raise(-7); break;
        case WM_KILLFOCUS: raise(-8); break;
        default: break;
    }
    return defaultProc(message, wParam, lParam);
}

void borderStyles(uint32_t border, DWORD& style, DWORD& exStyle) {
    style = 0;
    exStyle = 0;
    switch (border) {
        case 1: exStyle = WS_EX_CLIENTEDGE; break;
        case 2: exStyle = WS_EX_DLGMODALFRAME; break;
        case 3: exStyle = WS_EX_STATICEDGE; break;
        case 4: exStyle = WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE; break;
        case 5: style = WS_BORDER; break;
        default: break;  // 0, 6 (drawn by the control) and out of range: none
    }
}

void applyBorder(HWND hwnd, uint32_t border) {
    DWORD style = 0, exStyle = 0;
    borderStyles(border, style, exStyle);
    LONG oldStyle = GetWindowLongA(hwnd, GWL_STYLE), oldEx = GetWindowLongA(hwnd, GWL_EXSTYLE);
    LONG newStyle = (oldStyle & ~WS_BORDER) | static_cast<LONG>(style);
    LONG newEx = (oldEx & ~(WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME | WS_EX_STATICEDGE)) | static_cast<LONG>(exStyle);
    if (newStyle == oldStyle && newEx == oldEx) return;
    SetWindowLongA(hwnd, GWL_STYLE, newStyle);
    SetWindowLongA(hwnd, GWL_EXSTYLE, newEx);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace ui
