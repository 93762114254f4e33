// The module's two exports: its library description, whose command table
// holds the 987 command functions in command order, and its notification
// function.
#include <array>

#include "suite/module/commands.h"
#include "suite/module/runtime_link.h"

namespace srvkit {

namespace {

// The commands this module doesn't carry out take the frame and leave the
// result empty.
void acceptFrame(rt::DataCell*, int32_t, rt::DataCell*) {}

constexpr std::array<rt::Command, kCommandCount> makeCommandTable() {
    std::array<rt::Command, kCommandCount> table{};
    for (rt::Command& command : table) command = &acceptFrame;
    table[29] = &baseCreate;
    table[30] = &baseRelease;
    table[34] = &getString;
    table[132] = &fromJson;
    table[273] = &cacheGet;
    table[274] = &cacheGetText;
    table[275] = &cacheSet;
    table[276] = &cacheSetText;
    table[277] = &cacheMultiGet;
    table[278] = &cacheMultiGetText;
    table[279] = &cacheExists;
    table[280] = &cacheDelete;
    table[281] = &cacheClear;
    table[282] = &cacheIncr;
    table[283] = &cacheDecr;
    table[284] = &cacheSetExpire;
    return table;
}

constexpr std::array<rt::Command, kCommandCount> kCommands = makeCommandTable();

}  // namespace

}  // namespace srvkit

extern "C" int32_t __stdcall srvkit_ProcessNotifyLib(int32_t code, int32_t arg1, int32_t) {
    if (code == rt::kNotifyStart)
        srvkit::installServiceRequest(reinterpret_cast<rt::ServiceRequest>(static_cast<uintptr_t>(arg1)));
    else if (code == rt::kNotifyEnd)
        srvkit::releaseAll();
    return 0;
}

namespace srvkit {
namespace {
const rt::LibraryInfo kModuleInfo{rt::kLibraryFormatVersion,
                                  "3d1f6b0a94c2e8577e2b1c4d60f9a8e3",
                                  2,
                                  0,
                                  51,
                                  {3, 0, 3, 0},
                                  "SrvKit互联网服务器套件2.7.2",
                                  1,
                                  nullptr,
                                  0,
                                  {},
                                  0,
                                  nullptr,
                                  {0, 0},
                                  kCommandCount,
                                  nullptr,
                                  kCommands.data(),
                                  {0, 0},
                                  &srvkit_ProcessNotifyLib};
}  // namespace
}  // namespace srvkit

extern "C" const rt::LibraryInfo* __stdcall GetLibInfo() { return &srvkit::kModuleInfo; }
