// Command scenarios of the commands probe: runtime errors and message boxes.
#include "tests/commands/commands_probe_scenarios.h"

#include <stdexcept>
#include <vector>

#include "runtime/commands/commands.h"

using namespace rt::cmd;

namespace {
// Sizes no 32-bit process can have in one block.
constexpr int32_t kHugeBlankCount = 0x7FFFFFF0;
constexpr size_t kHugeVectorSize = 0x7FFF0000;

// A command that fails with some other exception.
void throwingCommand(rt::DataCell* result, int32_t, rt::DataCell*) {
    result->setInt(1);
    throw std::runtime_error("lost");
}

// A command whose C++ allocation fails inside it.
void vectorCommand(rt::DataCell* result, int32_t, rt::DataCell*) {
    std::vector<char> bytes(kHugeVectorSize);
    // The block's address leaves the command, so the allocation stays.
    result->setInt(static_cast<int32_t>(reinterpret_cast<uintptr_t>(bytes.data())));
}
}  // namespace

void runCommandScenario(const std::string& scenario) {
    if (scenario == "remainder-zero") {
        probeLog("first=" + std::to_string(rt::cmd::remainder(7.0, 4.0)));
        rt::cmd::remainder(7.0, 4.0, 0.0);
        probeLog("returned");
    } else if (scenario == "bad-type-0" || scenario == "bad-type-11") {
        OwnedBytes bytes = blankBytes(4);
        readValueFromBytes(bytes.get(), scenario == "bad-type-0" ? 0 : 11);
        probeLog("returned");
    } else if (scenario == "message-boxes") {
        // The watcher presses OK on each box.
        probeLog("error-box=" + std::to_string(messageBox("出错了", 16)));
        probeLog("number-box=" + std::to_string(messageBox(1.5, MB_ICONINFORMATION, "问题")));
        probeLog("logical-box=" + std::to_string(messageBox(true, Arg(), Arg(), Arg(0))));
    } else if (scenario == "huge-blank-text") {
        OwnedText text = blankText(kHugeBlankCount);
        probeLog("returned");
    } else if (scenario == "throwing-command") {
        rt::DataCell result = rt::serviceTable().callCoreCommand(&throwingCommand, 0, nullptr);
        probeLog("returned type=" + std::to_string(result.type));
    } else if (scenario == "huge-vector-command") {
        rt::serviceTable().callCoreCommand(&vectorCommand, 0, nullptr);
        probeLog("returned");
    } else {
        probeLog("unknown scenario " + scenario);
    }
}
