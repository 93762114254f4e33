#include "runtime/framework/app_skeleton.h"

namespace fw {

namespace {
AppSkeleton* gApp = nullptr;
}

AppSkeleton::AppSkeleton() { gApp = this; }
AppSkeleton::~AppSkeleton() {
    if (gApp == this) gApp = nullptr;
}

AppSkeleton* AppSkeleton::current() { return gApp; }

BOOL AppSkeleton::OnIdle(LONG) { return FALSE; }

BOOL AppSkeleton::PreTranslateMessage(MSG*) { return FALSE; }

BOOL AppSkeleton::PumpMessage() {
    if (!GetMessageA(&lastMessage_, nullptr, 0, 0)) {
        quitCode_ = static_cast<int>(lastMessage_.wParam);
        return FALSE;
    }
    if (!PreTranslateMessage(&lastMessage_)) {
        TranslateMessage(&lastMessage_);
        DispatchMessageA(&lastMessage_);
    }
    return TRUE;
}

BOOL AppSkeleton::IsIdleMessage(const MSG* message) {
    if (message->message == WM_MOUSEMOVE || message->message == WM_NCMOUSEMOVE) {
        POINT point = message->pt;
        if (lastMouseMessage_ == message->message && point.x == lastMousePoint_.x &&
            point.y == lastMousePoint_.y)
            return FALSE;
        lastMousePoint_ = point;
        lastMouseMessage_ = message->message;
        return TRUE;
    }
    // The caret blink timer and the private "kick idle" message don't count.
    return message->message != WM_PAINT && message->message != 0x118;
}

int AppSkeleton::Run() {
    bool idle = true;
    LONG idleCount = 0;
    MSG peek;
    for (;;) {
        while (idle && !PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) idle = false;
        }
        do {
            if (!PumpMessage()) return ExitInstance();
            if (IsIdleMessage(&lastMessage_)) {
                idle = true;
                idleCount = 0;
            }
        } while (PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE));
    }
}

int AppSkeleton::runProcess(HINSTANCE instance) {
    instance_ = instance;
    if (!InitInstance()) return ExitInstance();
    return Run();
}

}  // namespace fw
