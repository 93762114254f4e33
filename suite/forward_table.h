// The 987 forwarding entry points of the server suite: entry point i passes
// its frame unchanged to command i of the loaded module.
#pragma once

#include <cstdint>

#include "runtime/data_cell.h"
#include "runtime/library_info.h"

namespace suite {

constexpr uint32_t kSuiteCommandCount = 987;

using GetLibInfoFunction = const rt::LibraryInfo*(__stdcall*)();

struct SuiteForwardTable {
    rt::Command slots[kSuiteCommandCount];  // slot i: the module's command i
    bool bound = false;
    rt::LibraryNotify moduleNotify = nullptr;      // the module's srvkit_ProcessNotifyLib
    GetLibInfoFunction getLibInfo = nullptr;       // the module's GetLibInfo
};

SuiteForwardTable& suiteForwardTable();

// Copies the module's command functions into the slots and marks the table
// bound. A null entry keeps a command that leaves the result empty.
void bindForwardTable(rt::LibraryNotify notify, GetLibInfoFunction getLibInfo);

// The forwarding entry points, in command order (kSuiteCommandCount of them).
const rt::Command* suiteEntryPoints();
inline rt::Command suiteEntryPoint(uint32_t slot) { return suiteEntryPoints()[slot]; }

}  // namespace suite
