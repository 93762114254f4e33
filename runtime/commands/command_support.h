// Reading argument cells and writing results, shared by the command files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/cell_numbers.h"
#include "runtime/data_cell.h"

namespace rt::command_support {

// A text argument; the empty text (also an absent cell) as "".
const char* textArg(int32_t count, const DataCell* args, int32_t i);
std::string_view textView(int32_t count, const DataCell* args, int32_t i);
// A byte set argument as its data bytes (empty for 0 or absent).
std::string_view byteSetView(int32_t count, const DataCell* args, int32_t i);

// Any numeric cell (byte, short, integer, 64-bit, float, double, logical,
// date-time) as a number; an absent cell gives the fallback.
int64_t int64Arg(int32_t count, const DataCell* args, int32_t i, int64_t fallback = 0);
int32_t intArg(int32_t count, const DataCell* args, int32_t i, int32_t fallback = 0);
double doubleArg(int32_t count, const DataCell* args, int32_t i, double fallback = 0);
bool boolArg(int32_t count, const DataCell* args, int32_t i, bool fallback = false);
bool given(int32_t count, const DataCell* args, int32_t i);

// Results: new runtime-heap blocks; empty input gives 0 (the empty value).
void setText(DataCell* result, std::string_view bytes);
void setByteSet(DataCell* result, std::string_view bytes);

// Code page 936: a byte of 0x80 or above starts a two-byte character.
inline bool isLeadByte(unsigned char byte) { return byte >= 0x80; }
// A lone lead byte at the end also counts 2, which ends any scan there.
inline size_t characterWidth(std::string_view text, size_t at) {
    return isLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
}

// Full-width ASCII forms become ASCII before a number is parsed.
std::string normaliseNumberText(std::string_view text);

// A value of a basic type as text (the toText rule); other types give "".
std::string valueText(const DataCell& cell);

}  // namespace rt::command_support
