// Conversions between values and texts.
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"
#include "runtime/heap.h"

namespace rt {

using namespace command_support;

namespace {
bool isText(const DataCell& cell) { return cell.valueType() == kTypeText; }
std::string numberText(int32_t count, DataCell* args) { return normaliseNumberText(textView(count, args, 0)); }

// The integer of a text (the C atoi rule after normalisation), or of a
// number, logical or date-time value; other types (byte sets, subroutine
// addresses, objects) have none and give 0.
int64_t integerOf(int32_t count, DataCell* args, int64_t (*parse)(const char*)) {
    const DataCell& value = argAt(count, args, 0);
    if (isText(value)) return parse(numberText(count, args).c_str());
    return holdsIntegerValue(value) ? integerArgument(value) : 0;
}

int64_t parseInt32(const char* text) { return std::atoi(text); }
int64_t parseInt64(const char* text) { return _atoi64(text); }
}  // namespace

void toText(DataCell* result, int32_t count, DataCell* args) { setText(result, valueText(argAt(count, args, 0))); }

void textAtAddress(DataCell* result, int32_t count, DataCell* args) {
    auto address = reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint32_t>(intArg(count, args, 0))));
    setText(result, address ? std::string_view(address) : std::string_view());
}

void toByte(DataCell* result, int32_t count, DataCell* args) {
    result->lo = static_cast<uint8_t>(integerOf(count, args, parseInt32));
    result->type = kTypeByte;
}

void toInteger(DataCell* result, int32_t count, DataCell* args) {
    result->setInt(static_cast<int32_t>(integerOf(count, args, parseInt32)));
}

void toInt64(DataCell* result, int32_t count, DataCell* args) { result->setInt64(integerOf(count, args, parseInt64)); }

void toDouble(DataCell* result, int32_t count, DataCell* args) {
    if (isText(argAt(count, args, 0))) return result->setDouble(std::atof(numberText(count, args).c_str()));
    result->setDouble(doubleArg(count, args, 0));
}

}  // namespace rt
