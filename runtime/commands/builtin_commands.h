// The built-in commands the application calls, each an rt::Command: (result
// cell, argument count, argument cells). Left-out optional arguments are
// absent cells. Texts and byte sets returned are new runtime-heap blocks
// owned by the caller. Grouped by family; one source file per family.
#pragma once

#include "runtime/com/com_commands.h"
#include "runtime/data_cell.h"

namespace rt {

// Texts (text_commands.cpp). Positions are 1-based byte positions.
void textLength(DataCell* result, int32_t count, DataCell* args);       // text -> integer
void leftText(DataCell* result, int32_t count, DataCell* args);         // text, n -> text
void rightText(DataCell* result, int32_t count, DataCell* args);        // text, n -> text
void midText(DataCell* result, int32_t count, DataCell* args);          // text, start, n -> text
void charFromCode(DataCell* result, int32_t count, DataCell* args);     // byte value -> text
void charCode(DataCell* result, int32_t count, DataCell* args);         // text, [position] -> integer
void findText(DataCell* result, int32_t count, DataCell* args);         // text, sought, [start], [ignore case]
void findTextBackward(DataCell* result, int32_t count, DataCell* args); // text, sought, [end], [ignore case]
void toUpper(DataCell* result, int32_t count, DataCell* args);          // text -> text
void trimText(DataCell* result, int32_t count, DataCell* args);         // text -> text
// text, sought, [replacement], [start], [count], [case-sensitive] -> text
void replaceText(DataCell* result, int32_t count, DataCell* args);
// text, [separator ","], [maximum parts] -> array of texts
void splitText(DataCell* result, int32_t count, DataCell* args);
void blankText(DataCell* result, int32_t count, DataCell* args);        // n -> text

// Byte sets (byteset_commands.cpp).
void byteSetLength(DataCell* result, int32_t count, DataCell* args);    // byte set -> integer
void toByteSet(DataCell* result, int32_t count, DataCell* args);        // any basic value -> byte set
void leftBytes(DataCell* result, int32_t count, DataCell* args);        // byte set, n
void midBytes(DataCell* result, int32_t count, DataCell* args);         // byte set, start, n
void blankBytes(DataCell* result, int32_t count, DataCell* args);       // n
void bytesFromAddress(DataCell* result, int32_t count, DataCell* args); // address, length
// byte set, type number 1..10, [position, by value or by reference] -> value
void readValueFromBytes(DataCell* result, int32_t count, DataCell* args);

// Conversions and arithmetic (conversion_commands.cpp, arithmetic_commands.cpp).
void toText(DataCell* result, int32_t count, DataCell* args);
void textAtAddress(DataCell* result, int32_t count, DataCell* args);
void toByte(DataCell* result, int32_t count, DataCell* args);
void toInteger(DataCell* result, int32_t count, DataCell* args);
void toInt64(DataCell* result, int32_t count, DataCell* args);
void toDouble(DataCell* result, int32_t count, DataCell* args);
void roundTo(DataCell* result, int32_t count, DataCell* args);          // double, [decimals]
void floorInt(DataCell* result, int32_t count, DataCell* args);         // double -> integer
void remainder(DataCell* result, int32_t count, DataCell* args);        // double, double, [doubles...]
void bitAnd(DataCell* result, int32_t count, DataCell* args);           // integer, integer, [integers...]
void shiftLeft(DataCell* result, int32_t count, DataCell* args);        // integer, count
void shiftRight(DataCell* result, int32_t count, DataCell* args);       // integer, count (arithmetic)

// Files (file_commands.cpp).
void fileExists(DataCell* result, int32_t count, DataCell* args);       // path -> logical
void readFile(DataCell* result, int32_t count, DataCell* args);         // path -> byte set
void openFile(DataCell* result, int32_t count, DataCell* args);         // path, [mode 3], [sharing 1] -> file number
void closeFile(DataCell* result, int32_t count, DataCell* args);        // file number
void seekToEnd(DataCell* result, int32_t count, DataCell* args);        // file number -> logical
void writeBytes(DataCell* result, int32_t count, DataCell* args);       // file number, byte set, [byte sets...]

// System and process (process_commands.cpp).
void messageBox(DataCell* result, int32_t count, DataCell* args);       // value, [flags], [caption], [owner]
void tickCount(DataCell* result, int32_t count, DataCell* args);
void runProgram(DataCell* result, int32_t count, DataCell* args);       // command line, [wait], [window state]

// Windows and draw panels (window_commands.cpp; the window runtime does the work).
void openWindow(DataCell* result, int32_t count, DataCell* args);       // window, [owner], [modal]
void destroyWindow(DataCell* result, int32_t count, DataCell* args);    // window, [at once]
void processEvents(DataCell* result, int32_t count, DataCell* args);
void clearPanel(DataCell* result, int32_t count, DataCell* args);       // panel, [left], [top], [width], [height]
void fillPanelRect(DataCell* result, int32_t count, DataCell* args);    // panel, left, top, right, bottom
void writePanelText(DataCell* result, int32_t count, DataCell* args);   // panel, [x], [y], values...

// Special-functions library (special_commands.cpp).
void dataAddress(DataCell* result, int32_t count, DataCell* args);      // variable by reference -> integer
void formatText(DataCell* result, int32_t count, DataCell* args);       // format, [values...] -> text

// Data-operations library (md5_command.cpp).
void md5Hex(DataCell* result, int32_t count, DataCell* args);           // byte set -> 32 lowercase hex digits

// Thread library (threads/start_thread.cpp).
void startThread(DataCell* result, int32_t count, DataCell* args);      // routine, [parameter], [handle variable]

}  // namespace rt
