#include "runtime/commands/command_support.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "runtime/heap.h"

namespace rt::command_support {

const char* textArg(int32_t count, const DataCell* args, int32_t i) {
    const DataCell& cell = argAt(count, args, i);
    if (cell.absent()) return "";
    const char* text = cell.asText();
    return text ? text : "";
}

std::string_view textView(int32_t count, const DataCell* args, int32_t i) { return textArg(count, args, i); }

std::string_view byteSetView(int32_t count, const DataCell* args, int32_t i) {
    const DataCell& cell = argAt(count, args, i);
    if (cell.absent() || !cell.asByteSet()) return {};
    const uint8_t* block = cell.asByteSet();
    return {reinterpret_cast<const char*>(byteSetData(block)), byteSetLength(block)};
}

namespace {
double cellDouble(const DataCell& cell) {
    switch (cell.valueType()) {
        case kTypeByte: return *static_cast<const uint8_t*>(cell.valuePtr());
        case kTypeShort: return *static_cast<const int16_t*>(cell.valuePtr());
        case kTypeInt:
        case kTypeBool: return cell.asInt();
        case kTypeInt64: return static_cast<double>(cell.asInt64());
        case kTypeFloat: return cell.asFloat();
        case kTypeDouble:
        case kTypeDateTime: return cell.asDouble();
        default: return 0;
    }
}
}  // namespace

int64_t int64Arg(int32_t count, const DataCell* args, int32_t i, int64_t fallback) {
    const DataCell& cell = argAt(count, args, i);
    return cell.absent() ? fallback : integerArgument(cell);
}

int32_t intArg(int32_t count, const DataCell* args, int32_t i, int32_t fallback) {
    return static_cast<int32_t>(int64Arg(count, args, i, fallback));
}

double doubleArg(int32_t count, const DataCell* args, int32_t i, double fallback) {
    const DataCell& cell = argAt(count, args, i);
    if (cell.absent()) return fallback;
    if (cell.valueType() == kTypeInt64) return static_cast<double>(cell.asInt64());
    return cellDouble(cell);
}

bool boolArg(int32_t count, const DataCell* args, int32_t i, bool fallback) {
    const DataCell& cell = argAt(count, args, i);
    if (cell.absent()) return fallback;
    return int64Arg(count, args, i) != 0;
}

bool given(int32_t count, const DataCell* args, int32_t i) { return !argAt(count, args, i).absent(); }

void setText(DataCell* result, std::string_view bytes) { result->setText(makeText(bytes.data(), bytes.size())); }

void setByteSet(DataCell* result, std::string_view bytes) {
    result->setByteSet(makeByteSet(bytes.data(), bytes.size()));
}

std::string normaliseNumberText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (!isLeadByte(byte) || i + 1 >= text.size()) {
            out += text[i++];
            continue;
        }
        auto second = static_cast<unsigned char>(text[i + 1]);
        if (byte == 0xA3 && second >= 0xA1) out += static_cast<char>(second & 0x7F);
        else if (byte == 0xA1 && second == 0xA1) out += ' ';
        else if (byte == 0xA1 && second == 0xAB) out += '~';
        else if (byte == 0xA1 && (second == 0xEE || second == 0xEF)) out += '*';
        else out.append(text.substr(i, 2));
        i += 2;
    }
    return out;
}

namespace {
std::string printed(const char* format, ...) {
    char buffer[64];
    va_list list;
    va_start(list, format);
    std::vsnprintf(buffer, sizeof buffer, format, list);
    va_end(list);
    return buffer;
}

std::string dateTimeText(double oleDate) {
    SYSTEMTIME time{};
    if (!VariantTimeToSystemTime(oleDate, &time)) return {};
    std::string text = printed("%d年%d月%d日", time.wYear, time.wMonth, time.wDay);
    if (time.wSecond) text += printed("%d时%d分%d秒", time.wHour, time.wMinute, time.wSecond);
    else if (time.wMinute) text += printed("%d时%d分", time.wHour, time.wMinute);
    else if (time.wHour) text += printed("%d时", time.wHour);
    return text;
}
}  // namespace

std::string valueText(const DataCell& cell) {
    switch (cell.valueType()) {
        case kTypeByte: return printed("%u", *static_cast<const uint8_t*>(cell.valuePtr()));
        case kTypeShort: return printed("%d", *static_cast<const int16_t*>(cell.valuePtr()));
        case kTypeInt: return printed("%d", cell.asInt());
        case kTypeInt64: return std::to_string(cell.asInt64());
        case kTypeFloat: return printed("%.6g", static_cast<double>(cell.asFloat()));
        case kTypeDouble: return printed("%.13g", cell.asDouble());
        case kTypeBool: return cell.asBool() ? "真" : "假";
        case kTypeDateTime: return dateTimeText(cell.asDouble());
        case kTypeText: return cell.asText() ? cell.asText() : "";
        case kTypeByteSet: {
            const uint8_t* block = cell.asByteSet();
            if (!block) return {};
            const char* data = reinterpret_cast<const char*>(byteSetData(block));
            return std::string(data, strnlen(data, byteSetLength(block)));
        }
        default: return {};
    }
}

}  // namespace rt::command_support
