#include "ui/controls/window_control.h"

#include "runtime/runtime_app.h"
#include "runtime/service_request.h"

#include "ui/controls/caption_painter.h"
#include "ui/controls/controls.h"
#include "ui/event_dispatch.h"
#include "ui/gdi_object.h"
#include "ui/window_loader.h"
#include "ui/window_requests.h"

namespace ui {

namespace {

constexpr PropertyDescription kProperties[WindowControl::kPropertyCount] = {
    {kPropText, 0},    {kPropChoice, 0},  {kPropColourOrDefault, 0}, {kPropPicture, 0},
    {kPropLogical, 0}, {kPropLogical, 0}, {kPropLogical, 0},         {kPropChoice, 0},
};
constexpr const char* kClassName = "RTWindow";

bool resizable(uint32_t border) { return border == 1 || border == 3 || border == 5; }

// Start position 1: centred on the whole (primary) screen, whatever part of
// it a task bar takes.
constexpr uint32_t kStartCentred = 1;

// The top-left corner that centres a window of that outer size on the screen.
POINT centredOnScreen(int width, int height) {
    return {(GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2};
}

}  // namespace

const ClassDescription kWindowClass = {kClassName, kClassHasEvents, WindowControl::kPropertyCount, kProperties,
                                       &standardInterface<WindowControl>};

void windowStyles(const WindowBlock& b, DWORD& style, DWORD& exStyle) {
    style = WS_CLIPCHILDREN;
    exStyle = 0;
    if (b.borderStyle == 0 || b.borderStyle > 6) {
        style |= WS_POPUP;
        return;
    }
    style |= resizable(b.borderStyle) ? WS_THICKFRAME : WS_BORDER;
    if (b.borderStyle == 3 || b.borderStyle == 4) exStyle |= WS_EX_TOOLWINDOW;
    if (b.borderStyle == 5 || b.borderStyle == 6) exStyle |= WS_EX_CLIENTEDGE;
    if (!b.title.empty() || b.controlBox) {
        style |= WS_CAPTION;
        if (b.controlBox) style |= WS_SYSMENU;
        if (b.minimiseButton) style |= WS_MINIMIZEBOX;
        if (b.maximiseButton) style |= WS_MAXIMIZEBOX;
    } else {
        style |= WS_POPUP;
    }
}

UnitObject* WindowControl::create(const CreateRequest& request) {
    auto window = new WindowControl(request.windowId, request.unitId);
    if (!readBlockData(request.data, request.length, window->block_)) {
        delete window;
        return nullptr;
    }
    window->designMode_ = request.designMode;
    registerClass(kClassName, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW));
    DWORD style = 0, exStyle = 0;
    windowStyles(window->block_, style, exStyle);
    POINT at = window->block_.startPosition == kStartCentred && !request.designMode
                   ? centredOnScreen(request.width, request.height)
                   : POINT{request.left, request.top};
    HWND hwnd = window->createWindow(exStyle, kClassName, window->block_.title.c_str(), style | request.extraStyle,
                                     at.x, at.y, request.width, request.height, request.parent, request.menu);
    if (!hwnd) return nullptr;   // a failed creation has deleted the object
    // Without an icon of its own a window shows the program's default icon.
    HICON icons[2] = {nullptr, nullptr};
    rt::requestService(rt::kSvcDefaultIcons, static_cast<int32_t>(reinterpret_cast<uintptr_t>(icons)), 0);
    if (icons[0]) SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons[0]));
    if (icons[1]) SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons[1]));
    return window;
}

bool WindowControl::getProperty(int32_t number, PropertyValue& out) {
    const WindowBlock& b = block_;
    switch (number) {
        case kTitle: out = textValue(b.title); return true;
        case kBorderStyle: out.lo = b.borderStyle; return true;
        case kBackgroundColour: out.lo = b.backgroundColour; return true;
        case kPicture: out = bufferValue(b.picture); return true;
        case kControlBox: out.lo = b.controlBox; return true;
        case kMinimiseButton: out.lo = b.minimiseButton; return true;
        case kMaximiseButton: out.lo = b.maximiseButton; return true;
        case kStartPosition: out.lo = b.startPosition; return true;
        default: return false;
    }
}

void WindowControl::setProperty(int32_t number, const PropertyValue& value) {
    WindowBlock& b = block_;
    uint32_t v = value.lo;
    bool restyle = false;
    switch (number) {
        case kTitle:
            b.title = textFrom(value);
            SetWindowTextA(handle(), b.title.c_str());
            restyle = true;
            break;
        case kBorderStyle: b.borderStyle = clampChoice(v, 6); restyle = true; break;
        case kBackgroundColour: b.backgroundColour = v; break;
        case kPicture: b.picture = bufferFrom(value); break;
        case kControlBox: b.controlBox = v ? 1 : 0; restyle = true; break;
        case kMinimiseButton: b.minimiseButton = v ? 1 : 0; restyle = true; break;
        case kMaximiseButton: b.maximiseButton = v ? 1 : 0; restyle = true; break;
        case kStartPosition: b.startPosition = clampChoice(v, 3); return;
        default: return;
    }
    if (restyle) {
        DWORD style = 0, exStyle = 0;
        windowStyles(b, style, exStyle);
        LONG keep = GetWindowLongA(handle(), GWL_STYLE) & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
        SetWindowLongA(handle(), GWL_STYLE, static_cast<LONG>(style) | keep);
        SetWindowLongA(handle(), GWL_EXSTYLE, static_cast<LONG>(exStyle));
        SetWindowPos(handle(), nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    InvalidateRect(handle(), nullptr, TRUE);
}

void WindowControl::enumerateTexts(TextCallback callback, void* context) { callback(context, block_.title); }

bool WindowControl::closeQueryAllows(int32_t event) {
    bool hasResult = false;
    uint32_t result = 0;
    bool ran = raise(event, {}, &hasResult, &result);
    return !(ran && hasResult && result == 0) || designMode_;
}

bool WindowControl::close() {
    HWND hwnd = handle();
    if (!closeQueryAllows(12) || !IsWindow(hwnd)) return false;
    if (!closeQueryAllows(1) || !IsWindow(hwnd)) return false;
    // The close is under way from here: destroying may take a while (a
    // window system that is slow to withdraw the window) before the window
    // hears of it, and other threads must not act as if it stayed.
    rt::RuntimeApp::instance().setClosePending(true);
    DestroyWindow(hwnd);
    rt::RuntimeApp::instance().setClosePending(false);
    return true;
}

LRESULT WindowControl::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            if (handlerRunningFor(windowId())) closeAfterHandlers(handle());
            else close();
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == 0 && lParam == 0 && raiseMenuCommand(windowId(), LOWORD(wParam))) return 0;
            break;
        case WM_QUERYENDSESSION: return closeQueryAllows(1) ? TRUE : FALSE;
        case WM_DESTROY: raise(2); return 0;
        case WM_MOVE: raise(3); return 0;
        case WM_SIZE: raise(4); return 0;
        case WM_SHOWWINDOW: raise(wParam ? 10 : 11); return 0;
        case kMsgDestroyMarked:
            if (windowMarkedForDestruction(windowId())) DestroyWindow(handle());
            return 0;
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(handle(), &client);
            GdiObject<HBRUSH> brush(CreateSolidBrush(resolveBackground(block_.backgroundColour)));
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush.get());
            return 1;
        }
        case WM_NCDESTROY:
            windowDestroyed(windowId());
            return 0;
        default: break;
    }
    return UnitObject::windowProc(message, wParam, lParam);
}

}  // namespace ui
