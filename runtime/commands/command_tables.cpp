#include "runtime/commands/command_tables.h"

#include "runtime/commands/builtin_commands.h"

namespace rt {

const Command kCoreCommands[kCoreCommandCount] = {
    textLength, leftText, rightText, midText, charFromCode, charCode, findText,
    findTextBackward, toUpper, trimText, replaceText, splitText, blankText,
    byteSetLength, toByteSet, leftBytes, midBytes, blankBytes, bytesFromAddress,
    readValueFromBytes,
    toText, textAtAddress, toByte, toInteger, toInt64, toDouble, roundTo, floorInt,
    remainder, bitAnd, shiftLeft, shiftRight,
    fileExists, readFile, openFile, closeFile, seekToEnd, writeBytes,
    messageBox, tickCount, runProgram,
    openWindow, destroyWindow, processEvents, clearPanel, fillPanelRect, writePanelText,
    comGetText, comGetNumber, comGetVariant, comCall, comSetProperty, comAssign,
    comClear, comCreate, variantClear, variantToBytes, variantSet,
};

const Command kSpecialFunctionsCommands[2] = {dataAddress, formatText};
const Command kDataOperationsCommands[1] = {md5Hex};

}  // namespace rt
