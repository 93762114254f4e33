// Tick count and starting programs.
#include <windows.h>

#include <string>

#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"

namespace rt {

using namespace command_support;

void tickCount(DataCell* result, int32_t count, DataCell* args) {
    result->setInt(static_cast<int32_t>(GetTickCount()));
}

void runProgram(DataCell* result, int32_t count, DataCell* args) {
    static const WORD kShowCommands[] = {SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED,
                                         SW_SHOWNOACTIVATE, SW_MINIMIZE};
    result->setBool(false);
    std::string commandLine(textView(count, args, 0));
    bool wait = boolArg(count, args, 1, false);
    int32_t state = intArg(count, args, 2, 2);
    state = state < 1 ? 1 : (state > 6 ? 6 : state);
    if (commandLine.empty()) return;

    STARTUPINFOA startup{};
    static_assert(sizeof startup == 68, "the 32-bit startup record");
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = kShowCommands[state - 1];
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return;
    if (wait) WaitForSingleObject(process.hProcess, INFINITE);
    else WaitForInputIdle(process.hProcess, 1000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result->setBool(true);
}

}  // namespace rt
