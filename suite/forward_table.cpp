#include "suite/forward_table.h"

#include <array>
#include <utility>

namespace suite {

namespace {

void emptyResult(rt::DataCell*, int32_t, rt::DataCell*) {}

SuiteForwardTable makeUnboundTable() {
    SuiteForwardTable table;
    for (rt::Command& slot : table.slots) slot = &emptyResult;
    return table;
}

SuiteForwardTable gTable = makeUnboundTable();

template <uint32_t Slot>
void forwardCommand(rt::DataCell* result, int32_t count, rt::DataCell* args) {
    gTable.slots[Slot](result, count, args);
}

template <uint32_t... Slots>
constexpr std::array<rt::Command, sizeof...(Slots)> makeEntryPoints(std::integer_sequence<uint32_t, Slots...>) {
    return {&forwardCommand<Slots>...};
}

constexpr std::array<rt::Command, kSuiteCommandCount> kEntryPoints =
    makeEntryPoints(std::make_integer_sequence<uint32_t, kSuiteCommandCount>{});

}  // namespace

SuiteForwardTable& suiteForwardTable() { return gTable; }

const rt::Command* suiteEntryPoints() { return kEntryPoints.data(); }

void bindForwardTable(rt::LibraryNotify notify, GetLibInfoFunction getLibInfo) {
    gTable.moduleNotify = notify;
    gTable.getLibInfo = getLibInfo;
    const rt::LibraryInfo* info = getLibInfo ? getLibInfo() : nullptr;
    const rt::Command* commands = info ? info->commands : nullptr;
    if (commands)
        for (uint32_t i = 0; i < kSuiteCommandCount; ++i)
            gTable.slots[i] = commands[i] ? commands[i] : &emptyResult;
    gTable.bound = true;
}

}  // namespace suite
