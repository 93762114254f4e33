// A minimal application skeleton: the process entry constructs nothing
// itself, it calls the one application object's InitInstance and, when that
// returns 0, its ExitInstance, whose result is the exit code. The message
// pump pieces mirror what a classic framework's thread object offers.
#pragma once

#include <windows.h>

namespace fw {

class AppSkeleton {
public:
    AppSkeleton();
    virtual ~AppSkeleton();
    AppSkeleton(const AppSkeleton&) = delete;
    AppSkeleton& operator=(const AppSkeleton&) = delete;

    static AppSkeleton* current();

    virtual BOOL InitInstance() { return TRUE; }
    // The exit code: the code of the WM_QUIT that ended the loop, 0 when
    // none was pumped (a modal loop's messages are no quit code).
    virtual int ExitInstance() { return quitCode_; }
    // Framework idle work; true asks for more idle calls.
    virtual BOOL OnIdle(LONG count);
    virtual BOOL PreTranslateMessage(MSG* message);

    // Get, pre-translate, translate and dispatch one message; false on WM_QUIT.
    BOOL PumpMessage();
    // Messages that don't restart idle processing (mouse moves in place, the
    // caret timer) return false.
    BOOL IsIdleMessage(const MSG* message);
    // The classic loop, used when InitInstance returns non-zero.
    int Run();

    HINSTANCE instance() const { return instance_; }
    const MSG& lastMessage() const { return lastMessage_; }

    // Called by the process entry.
    int runProcess(HINSTANCE instance);

private:
    HINSTANCE instance_ = nullptr;
    MSG lastMessage_{};
    int quitCode_ = 0;
    POINT lastMousePoint_{-1, -1};
    UINT lastMouseMessage_ = 0;
};

}  // namespace fw
