// Window and draw-panel commands. The installed window system does the
// work; its requests run on the window's own thread, so the application may
// call these from its download thread too. Without a window system no window
// is loaded: the commands then do nothing.
#include <optional>
#include <string>
#include <vector>

#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"
#include "runtime/service_request.h"
#include "runtime/thread_call.h"
#include "runtime/window_system.h"

namespace rt {

using namespace command_support;

namespace {
// A window or control cell: window identifier low, unit identifier high.
uint32_t windowIdOf(const DataCell& cell) { return cell.byReference() ? *static_cast<const uint32_t*>(cell.valuePtr()) : cell.lo; }
uint32_t unitIdOf(const DataCell& cell) {
    return cell.byReference() ? static_cast<const uint32_t*>(cell.valuePtr())[1] : cell.hi;
}

std::optional<int32_t> optionalInt(int32_t count, const DataCell* args, int32_t i) {
    if (!given(count, args, i)) return std::nullopt;
    return intArg(count, args, i);
}

// A message box's owner: an integer is the handle itself, a window or
// control cell its live window; anything else (or nothing) is no owner.
HWND ownerWindowOf(const DataCell& owner) {
    if (owner.valueType() == kTypeInt) return reinterpret_cast<HWND>(static_cast<uintptr_t>(owner.asWord()));
    WindowSystem* windows = windowSystem();
    if (!windows || owner.absent() || isBasicType(owner.valueType())) return nullptr;
    return windows->unitWindowHandle(windowIdOf(owner), unitIdOf(owner));
}
}  // namespace

void openWindow(DataCell* result, int32_t count, DataCell* args) {
    const DataCell& owner = argAt(count, args, 1);
    uint32_t ownerObject = 0;
    if (!owner.absent())
        ownerObject = static_cast<uint32_t>(requestService(kSvcUnitObject, static_cast<int32_t>(windowIdOf(owner)), 0));
    uint32_t record[3] = {windowIdOf(argAt(count, args, 0)), ownerObject, boolArg(count, args, 2) ? 1u : 0u};
    result->setBool(requestService(kSvcLoadWindow, static_cast<int32_t>(reinterpret_cast<uintptr_t>(record)), 0) == 0);
}

void destroyWindow(DataCell* result, int32_t count, DataCell* args) {
    if (WindowSystem* windows = windowSystem())
        windows->destroyWindow(windowIdOf(argAt(count, args, 0)), boolArg(count, args, 1));
}

void processEvents(DataCell* result, int32_t count, DataCell* args) { requestService(kSvcProcessEvents, 0, 0); }

void clearPanel(DataCell* result, int32_t count, DataCell* args) {
    WindowSystem* windows = windowSystem();
    if (!windows) return;
    const DataCell& panel = argAt(count, args, 0);
    PanelArea area{optionalInt(count, args, 1), optionalInt(count, args, 2), optionalInt(count, args, 3),
                   optionalInt(count, args, 4)};
    windows->clearPanel(windowIdOf(panel), unitIdOf(panel), area);
}

void fillPanelRect(DataCell* result, int32_t count, DataCell* args) {
    WindowSystem* windows = windowSystem();
    if (!windows) return;
    const DataCell& panel = argAt(count, args, 0);
    windows->fillPanelRect(windowIdOf(panel), unitIdOf(panel), intArg(count, args, 1), intArg(count, args, 2),
                           intArg(count, args, 3), intArg(count, args, 4));
}

void writePanelText(DataCell* result, int32_t count, DataCell* args) {
    WindowSystem* windows = windowSystem();
    if (!windows) return;
    const DataCell& panel = argAt(count, args, 0);
    std::vector<std::string> texts;
    for (int32_t i = 3; i < count; ++i) texts.push_back(valueText(args[i]));
    windows->writePanelText(windowIdOf(panel), unitIdOf(panel), optionalInt(count, args, 1),
                            optionalInt(count, args, 2), texts);
}

void messageBox(DataCell* result, int32_t count, DataCell* args) {
    std::string text = valueText(argAt(count, args, 0));
    uint32_t flags = static_cast<uint32_t>(intArg(count, args, 1));
    const char* caption = given(count, args, 2) ? textArg(count, args, 2) : "信息：";
    if (!(flags & MB_SYSTEMMODAL)) flags |= MB_TASKMODAL;
    HWND ownerWindow = ownerWindowOf(argAt(count, args, 3));
    // An owned box is shown on its owner's thread, in turn with that
    // thread's other requests.
    int pressed = ownerWindow ? messageBoxOwnedBy(ownerWindow, text.c_str(), caption, flags)
                              : MessageBoxA(nullptr, text.c_str(), caption, flags);
    // IDOK..IDNO (1..7) become 0..6.
    result->setInt(pressed >= IDOK && pressed <= IDNO ? pressed - 1 : -1);
}

}  // namespace rt
