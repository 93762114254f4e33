// Commands of the special-functions library: data addresses and text
// formatting.
#include <algorithm>
#include <string>
#include <string_view>

#include "runtime/commands/builtin_commands.h"
#include "runtime/commands/command_support.h"
#include "runtime/heap.h"

namespace rt {

using namespace command_support;

namespace {
constexpr std::string_view kOpeningQuote = "“";
constexpr std::string_view kClosingQuote = "”";
}  // namespace

void dataAddress(DataCell* result, int32_t count, DataCell* args) {
    const DataCell& variable = argAt(count, args, 0);
    uint32_t address = 0;
    uint32_t content = variable.absent() ? 0 : variable.asWord();
    switch (variable.valueType()) {
        case kTypeText: address = content; break;
        case kTypeByteSet: address = content ? content + 8 : 0; break;
        case kTypeAbsent: break;
        default: address = variable.byReference() ? variable.lo : 0; break;
    }
    result->setInt(static_cast<int32_t>(address));
}

void formatText(DataCell* result, int32_t count, DataCell* args) {
    std::string_view format = textView(count, args, 0);
    // Backticks and tildes first (double-byte aware: second bytes may look
    // like either).
    std::string text;
    bool openingNext = true;
    for (size_t i = 0; i < format.size();) {
        size_t width = std::min(characterWidth(format, i), format.size() - i);
        if (width == 1 && format[i] == '`') {
            text += '"';
        } else if (width == 1 && format[i] == '~') {
            text += openingNext ? kOpeningQuote : kClosingQuote;
            openingNext = !openingNext;
        } else {
            text.append(format.substr(i, width));
        }
        i += width;
    }
    if (count < 2) return setText(result, text);

    std::string out;
    int32_t next = 1;
    for (size_t i = 0; i < text.size();) {
        size_t width = std::min(characterWidth(text, i), text.size() - i);
        if (width == 2 || text[i] != '%' || i + 1 >= text.size()) {
            out.append(text, i, width);
            i += width;
            continue;
        }
        char letter = text[i + 1];
        if (letter == 'n' || letter == 'N') {
            out += letter == 'n' ? "\r\n" : "\r\n\r\n";
        } else if (std::string_view("sdftT").find(letter) != std::string_view::npos && next < count) {
            std::string value = valueText(args[next++]);
            if (letter == 't') out += '"' + value + '"';
            else if (letter == 'T') out += std::string(kOpeningQuote) + value + std::string(kClosingQuote);
            else out += value;
        } else {
            // Not a sequence (or no value left): the "%" stays, the next
            // character is copied as itself.
            out += '%';
            i += 1;
            continue;
        }
        i += 2;
    }
    setText(result, out);
}

}  // namespace rt
