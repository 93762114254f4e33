// The command-function tables of the support libraries whose commands live
// here, in command-number order (a library record points at its table).
#pragma once

#include <cstdint>

#include "runtime/data_cell.h"

namespace rt {

enum CoreCommandNumber : uint32_t {
    kCmdTextLength, kCmdLeftText, kCmdRightText, kCmdMidText, kCmdCharFromCode, kCmdCharCode, kCmdFindText,
    kCmdFindTextBackward, kCmdToUpper, kCmdTrimText, kCmdReplaceText, kCmdSplitText, kCmdBlankText,
    kCmdByteSetLength, kCmdToByteSet, kCmdLeftBytes, kCmdMidBytes, kCmdBlankBytes, kCmdBytesFromAddress,
    kCmdReadValueFromBytes,
    kCmdToText, kCmdTextAtAddress, kCmdToByte, kCmdToInteger, kCmdToInt64, kCmdToDouble, kCmdRoundTo, kCmdFloorInt,
    kCmdRemainder, kCmdBitAnd, kCmdShiftLeft, kCmdShiftRight,
    kCmdFileExists, kCmdReadFile, kCmdOpenFile, kCmdCloseFile, kCmdSeekToEnd, kCmdWriteBytes,
    kCmdMessageBox, kCmdTickCount, kCmdRunProgram,
    kCmdOpenWindow, kCmdDestroyWindow, kCmdProcessEvents, kCmdClearPanel, kCmdFillPanelRect, kCmdWritePanelText,
    kCmdComGetText, kCmdComGetNumber, kCmdComGetVariant, kCmdComCall, kCmdComSetProperty, kCmdComAssign,
    kCmdComClear, kCmdComCreate, kCmdVariantClear, kCmdVariantToBytes, kCmdVariantSet,
    kCoreCommandCount
};
extern const Command kCoreCommands[kCoreCommandCount];

// Special-functions library: dataAddress, formatText.
extern const Command kSpecialFunctionsCommands[2];
// Data-operations library: md5Hex.
extern const Command kDataOperationsCommands[1];

}  // namespace rt
