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
}  // namespace

void toText(DataCell* result, int32_t count, DataCell* args) { setText(result, valueText(argAt(count, args, 0))); }

void textAtAddress(DataCell* result, int32_t count, DataCell* args) {
    auto address = reinterpret_cast<const char*>(static_cast<uintptr_t>(static_cast<uint32_t>(intArg(count, args, 0))));
    setText(result, address ? std::string_view(address) : std::string_view());
}

void toByte(DataCell* result, int32_t count, DataCell* args) {
    int32_t value = isText(argAt(count, args, 0)) ? std::atoi(numberText(count, args).c_str()) : intArg(count, args, 0);
    result->lo = static_cast<uint8_t>(value);
    result->type = kTypeByte;
}

void toInteger(DataCell* result, int32_t count, DataCell* args) {
    if (isText(argAt(count, args, 0))) return result->setInt(std::atoi(numberText(count, args).c_str()));
    result->setInt(intArg(count, args, 0));
}

void toInt64(DataCell* result, int32_t count, DataCell* args) {
    const DataCell& value = argAt(count, args, 0);
    if (isText(value)) return result->setInt64(_atoi64(numberText(count, args).c_str()));
    switch (value.valueType()) {
        case kTypeByte:
        case kTypeShort:
        case kTypeInt:
        case kTypeInt64:
        case kTypeBool:
        case kTypeFloat:
        case kTypeDouble:
        case kTypeDateTime: return result->setInt64(int64Arg(count, args, 0));
        default: return result->setInt64(0);
    }
}

void toDouble(DataCell* result, int32_t count, DataCell* args) {
    if (isText(argAt(count, args, 0))) return result->setDouble(std::atof(numberText(count, args).c_str()));
    result->setDouble(doubleArg(count, args, 0));
}

}  // namespace rt
