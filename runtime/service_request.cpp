#include "runtime/service_request.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "runtime/address_word.h"
#include "runtime/cell_numbers.h"
#include "runtime/framework/window_object.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "runtime/runtime_error.h"
#include "runtime/window_system.h"

namespace rt {

namespace {
ServiceExtensions gExtensions;
WindowSystem* gWindowSystem = nullptr;

template <typename T>
T* ptr(int32_t word) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(static_cast<uint32_t>(word)));
}

// Icon records: (icon handle, data block) pairs released at shutdown.
struct IconRecord {
    HICON icon;
    void* data;
};
std::vector<IconRecord> gIconRecords;

constexpr const char* kNotNumericMessage = "欲转换数据类型不是数值";

// Request 2001: the integer of a number cell by the commands' guarded rule
// (an out-of-range double gives the low word of its 64-bit integer, or 0).
// Anything else, a missing cell included, is not a number.
int32_t numericCellToInt(const DataCell* cell) {
    if (!cell || !isNumberType(cell->type)) reportRuntimeError(kNotNumericMessage, 0, 0, 0);
    return static_cast<int32_t>(integerArgument(*cell));
}

// Request 1007: the framework object of a window, made and attached when
// the window has none yet. A window has at most one object, so one it
// already has is the answer (a second one could never be attached).
fw::WindowObject* objectForWindow(HWND window) {
    if (!window) return nullptr;
    if (fw::WindowObject* existing = fw::WindowObject::fromHandle(window)) return existing;
    auto fresh = std::make_unique<fw::WindowObject>();
    // Another thread may attach one between the look-up and here.
    if (!fresh->attach(window)) return fw::WindowObject::fromHandle(window);
    return fresh.release();
}

void copyPathText(int32_t which, char* destination) {
    if (!destination) return;
    RuntimeApp& app = RuntimeApp::instance();
    std::string text;
    if (which == 1 || which == 2001) text = app.programDirectory() + "\\";
    else if (which == 2002) text = app.programFileName();
    std::memcpy(destination, text.c_str(), text.size() + 1);
}
}  // namespace

void installWindowSystem(WindowSystem* system) { gWindowSystem = system; }
WindowSystem* windowSystem() { return gWindowSystem; }
ServiceExtensions& serviceExtensions() { return gExtensions; }

void processWaitingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void releaseIconRecords() {
    for (IconRecord& record : gIconRecords) {
        if (record.icon) DestroyIcon(record.icon);
        rtFree(record.data);
    }
    gIconRecords.clear();
}

int32_t __stdcall requestService(int32_t code, int32_t arg1, int32_t arg2) {
    RuntimeApp& app = RuntimeApp::instance();
    WindowSystem* windows = gWindowSystem;
    switch (code) {
        case kSvcDefaultIcons: {
            HICON icons[2];
            app.defaultIcons(icons);
            if (auto out = ptr<HICON>(arg1)) {
                out[0] = icons[0];
                out[1] = icons[1];
            }
            return 0;
        }
        case kSvcWindowRegistry: return windows ? signedWordOf(windows->registry()) : 0;
        case kSvcClassInfo: return windows ? signedWordOf(windows->classInfo(static_cast<uint32_t>(arg1))) : 0;
        case kSvcAlwaysOne: return 1;
        case kSvcRuntimeVersion: return 0x70005;
        case kSvcPathText: copyPathText(arg1, ptr<char>(arg2)); return 0;
        case kSvcWrapForeignWindow: return signedWordOf(objectForWindow(ptr<HWND__>(arg1)));
        case kSvcDeleteObject: delete ptr<fw::WindowObject>(arg1); return 0;
        case kSvcDetachWindow: return arg1 ? signedWordOf(ptr<fw::WindowObject>(arg1)->detach()) : 0;
        case kSvcObjectHandle: return arg1 ? signedWordOf(ptr<fw::WindowObject>(arg1)->handle()) : 0;
        case kSvcAttach: {
            auto handle = ptr<HWND__>(arg1);
            auto object = ptr<fw::WindowObject>(arg2);
            if (!object || fw::WindowObject::fromHandle(handle) || object->handle()) return 0;
            return object->attach(handle) ? 1 : 0;
        }
        case kSvcAddIdleCallback: {
            auto record = ptr<IdleCallbackRecord>(arg1);
            if (record)
                app.addIdleCallback({ptr<HWND__>(static_cast<int32_t>(record->window)),
                                     reinterpret_cast<void(__stdcall*)(uint32_t)>(record->routine), record->argument});
            return 0;
        }
        case kSvcRemoveIdleCallback: app.removeIdleCallback(ptr<HWND__>(arg1)); return 0;
        case kSvcIsLoadedUnitWindow: return windows && windows->isLoadedUnitWindow(ptr<HWND__>(arg1)) ? 1 : 0;
        case kSvcUnitDestroyed:
            if (windows) windows->unitDestroyed(static_cast<uint32_t>(arg1), static_cast<uint32_t>(arg2));
            return 0;
        case kSvcNumericToInt: return numericCellToInt(ptr<DataCell>(arg1));
        case kSvcProgramDirectory: return signedWordOf(makeText(app.programDirectory().c_str()));
        case kSvcProgramFileName: return signedWordOf(makeText(app.programFileName().c_str()));
        case kSvcLoadWindow: {
            auto record = ptr<uint32_t>(arg1);
            if (!windows || !record) return -1;
            return windows->loadWindow(record[0], reinterpret_cast<void*>(record[1]), static_cast<int32_t>(record[2]));
        }
        case kSvcUnitObject:
        case kSvcUnitObjectOrError: {
            void* object = windows ? windows->unitObject(static_cast<uint32_t>(arg1), static_cast<uint32_t>(arg2)) : nullptr;
            if (!object && code == kSvcUnitObjectOrError)
                reportRuntimeError("指定窗口或窗口组件不存在或尚未载入", 0, arg1, arg2);
            return signedWordOf(object);
        }
        case kSvcFireEvent: return windows ? windows->fireEvent(ptr<void>(arg1)) : 0;
        case kSvcBlockEvents:
            processWaitingMessages();
            ++app.eventBlockCount;
            return 0;
        case kSvcUnblockEvents: {
            processWaitingMessages();
            int32_t current = app.eventBlockCount.load();
            while (current > 0 && !app.eventBlockCount.compare_exchange_weak(current, current - 1)) {
            }
            return 0;
        }
        case kSvcOpenFileMode: return app.openFileMode(ptr<void>(arg1));
        case kSvcRegisterOpenFile: app.registerOpenFile(ptr<void>(arg1), static_cast<uint8_t>(arg2)); return 0;
        case kSvcUnregisterOpenFile: return app.unregisterOpenFile(ptr<void>(arg1)) ? 1 : 0;
        case kSvcCloseAllFiles: app.closeAllOpenFiles(); return 0;
        case kSvcProcessEvents: processWaitingMessages(); return 0;
        case kSvcAddIconRecord: gIconRecords.push_back({ptr<HICON__>(arg1), ptr<void>(arg2)}); return 0;
        case kSvcRemoveIconRecord: {
            auto it = std::find_if(gIconRecords.begin(), gIconRecords.end(),
                                   [arg1](const IconRecord& r) { return r.icon == ptr<HICON__>(arg1); });
            if (it == gIconRecords.end()) return 0;
            DestroyIcon(it->icon);
            rtFree(it->data);
            gIconRecords.erase(it);
            return 1;
        }
        case kSvcHasIconRecord:
            return std::any_of(gIconRecords.begin(), gIconRecords.end(),
                               [arg1](const IconRecord& r) { return r.icon == ptr<HICON__>(arg1); })
                       ? 1
                       : 0;
        case kSvcClassOfUnit:
            return windows ? static_cast<int32_t>(windows->classOfUnit(static_cast<uint32_t>(arg1),
                                                                       static_cast<uint32_t>(arg2)))
                           : 0;
        case kSvcFreeArray: freeArray(static_cast<uint32_t>(arg1), ptr<void>(arg2)); return 0;
        case kSvcAllocate:
            return signedWordOf(arg2 ? rtTryAlloc(static_cast<uint32_t>(arg1)) : rtAlloc(static_cast<uint32_t>(arg1)));
        case kSvcFree: rtFree(ptr<void>(arg1)); return 0;
        case kSvcReallocate: return signedWordOf(rtRealloc(ptr<void>(arg1), static_cast<uint32_t>(arg2)));
        case kSvcRuntimeError: reportRuntimeError(ptr<const char>(arg1), 0, 0, 0);
        case kSvcEndProgram: app.endProgram(arg1);
        case kSvcClassKind: return windows ? static_cast<int32_t>(windows->classKind(static_cast<uint32_t>(arg1))) : 0;
        case kSvcRunMode: return static_cast<int32_t>(app.runMode());
        case kSvcCallRoutine: return windows ? windows->callRoutine(ptr<void>(arg1)) : 0;
        case kSvcWindowCount: return windows ? static_cast<int32_t>(windows->windowCount()) : 0;
        case kSvcWindowHandle: return windows ? signedWordOf(windows->windowHandle(static_cast<uint32_t>(arg1))) : 0;
        case kSvcReleaseComObject:
            if (gExtensions.releaseComObject) gExtensions.releaseComObject(ptr<void>(arg1));
            return 0;
        case kSvcTypeInterface: {
            if (static_cast<uint32_t>(arg1) == kTypeComObject) {
                static const GUID kIUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
                std::memcpy(ptr<void>(arg2), &kIUnknown, sizeof kIUnknown);
                return 1;
            }
            return 0;  // no library of this program defines a type of its own
        }
        default: return 0;
    }
}

}  // namespace rt
