#include "suite/module/jmap_table.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <unordered_set>

namespace srvkit {

namespace {

using nlohmann::json;

constexpr size_t kEscapeLength = 6;  // "\u" and four hexadecimal digits
constexpr unsigned kHexDigitCount = 4;
constexpr unsigned kHexDigitBits = 4;
constexpr uint16_t kHighSurrogateFirst = 0xD800, kHighSurrogateLast = 0xDBFF;
constexpr uint16_t kLowSurrogateFirst = 0xDC00, kLowSurrogateLast = 0xDFFF;

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 0xA;
    if (c >= 'a' && c <= 'f') return c - 'a' + 0xA;
    return -1;
}

bool isHighSurrogate(uint16_t unit) { return unit >= kHighSurrogateFirst && unit <= kHighSurrogateLast; }
bool isLowSurrogate(uint16_t unit) { return unit >= kLowSurrogateFirst && unit <= kLowSurrogateLast; }

// The code unit that the escape "\uXXXX" at text[at] stands for; nothing
// when the text there is no such escape.
std::optional<uint16_t> escapedUnit(std::string_view text, size_t at) {
    if (at > text.size() || text.size() - at < kEscapeLength || text.compare(at, 2, "\\u") != 0)
        return std::nullopt;
    uint16_t unit = 0;
    for (unsigned d = 0; d < kHexDigitCount; ++d) {
        int digit = hexDigitValue(text[at + 2 + d]);
        if (digit < 0) return std::nullopt;
        unit = static_cast<uint16_t>((unit << kHexDigitBits) | digit);
    }
    return unit;
}

// The length of the "\u" escape at text[at]: one escape, or a high surrogate
// with the low one that must follow it. 0 when malformed, by the rules the
// parser applies when it decodes escapes: four hex digits each, no lone
// surrogate of either kind.
size_t unicodeEscapeLength(std::string_view text, size_t at) {
    std::optional<uint16_t> first = escapedUnit(text, at);
    if (!first || isLowSurrogate(*first)) return 0;
    if (!isHighSurrogate(*first)) return kEscapeLength;
    std::optional<uint16_t> second = escapedUnit(text, at + kEscapeLength);
    return second && isLowSurrogate(*second) ? 2 * kEscapeLength : 0;
}

// Doubles the backslash of every "\u" escape inside strings, so that the
// parser keeps the escape as written instead of decoding it. Since the parser
// then never reads its digits, a malformed escape is refused here: nothing.
std::optional<std::string> keepUnicodeEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!inString) {
            out += c;
            if (c == '"') inString = true;
            continue;
        }
        if (c == '\\' && i + 1 < text.size()) {
            if (text[i + 1] != 'u') {
                out += c;
                out += text[++i];
                continue;
            }
            size_t length = unicodeEscapeLength(text, i);
            if (length == 0) return std::nullopt;
            for (char e : text.substr(i, length)) {
                if (e == '\\') out += e;
                out += e;
            }
            i += length - 1;
            continue;
        }
        out += c;
        if (c == '"') inString = false;
    }
    return out;
}

// Whether objects and arrays nest no deeper than `limit`, brackets inside
// strings not counted. One pass, no recursion, before the parser sees it.
bool nestingWithin(std::string_view text, size_t limit) {
    size_t depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > limit) return false;
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
    }
    return true;
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string valueText(const json& value) {
    switch (value.type()) {
        case json::value_t::string: return value.get_ref<const std::string&>();
        case json::value_t::binary: {
            const auto& bytes = value.get_binary();
            return std::string(bytes.begin(), bytes.end());
        }
        case json::value_t::null: return {};
        case json::value_t::discarded: return {};
        default: return value.dump(-1, ' ', false, json::error_handler_t::replace);
    }
}

// "name", "name[2]", "[2]" or "2" (on a list): one step of a path.
const json* step(const json* node, std::string_view segment) {
    size_t bracket = segment.find('[');
    std::string_view name = segment.substr(0, bracket);
    if (!name.empty()) {
        if (node->is_object()) {
            auto it = node->find(std::string(name));
            if (it == node->end()) return nullptr;
            node = &*it;
        } else if (node->is_array() && bracket == std::string_view::npos &&
                   name.find_first_not_of("0123456789") == std::string_view::npos) {
            unsigned long index = std::strtoul(std::string(name).c_str(), nullptr, 10);
            if (index < 1 || index > node->size()) return nullptr;
            return &(*node)[index - 1];
        } else {
            return nullptr;
        }
    }
    while (bracket != std::string_view::npos) {
        size_t close = segment.find(']', bracket);
        if (close == std::string_view::npos) return nullptr;
        std::string digits(segment.substr(bracket + 1, close - bracket - 1));
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return nullptr;
        unsigned long index = std::strtoul(digits.c_str(), nullptr, 10);
        if (!node->is_array() || index < 1 || index > node->size()) return nullptr;
        node = &(*node)[index - 1];
        bracket = close + 1 < segment.size() ? close + 1 : std::string_view::npos;
        if (bracket != std::string_view::npos && segment[bracket] != '[') return nullptr;
    }
    return node;
}

std::mutex gTablesLock;
std::unordered_set<JMapTable*> gTables;

}  // namespace

bool JMapTable::loadJson(std::string_view utf8, bool convertEscapes, bool wideKeys) {
    clear();
    std::string_view body = trimmed(utf8);
    if (body.size() < 2 || body.front() != '{' || body.back() != '}') return false;
    if (!nestingWithin(body, kMaxJsonDepth)) return false;
    std::optional<std::string> text = convertEscapes ? std::string(body) : keepUnicodeEscapes(body);
    if (!text) return false;
    json parsed = json::parse(*text, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object()) return false;
    root_ = std::move(parsed);
    wideKeys_ = wideKeys;
    return true;
}

void JMapTable::clear() {
    root_ = json::object();
    wideKeys_ = false;
}

const json* JMapTable::resolvePath(std::string_view path) const {
    const json* node = &root_;
    while (!path.empty()) {
        size_t slash = path.find('/');
        std::string_view segment = path.substr(0, slash);
        if (segment.empty()) return nullptr;
        node = step(node, segment);
        if (!node) return nullptr;
        path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
        if (slash != std::string_view::npos && path.empty()) return nullptr;
    }
    return node;
}

std::optional<std::string> JMapTable::lookup(std::string_view key, bool* raw) const {
    const json* value = nullptr;
    if (key.substr(0, 4) == "////") {
        key.remove_prefix(2);
    } else if (key.substr(0, 2) == "//") {
        value = resolvePath(key.substr(2));
        if (!value) return std::nullopt;
    }
    if (!value) {
        auto it = root_.find(std::string(key));
        if (it == root_.end()) return std::nullopt;
        value = &*it;
    }
    if (raw) *raw = value->is_binary();
    return valueText(*value);
}

void JMapTable::setText(const std::string& key, const std::string& value) { root_[key] = value; }

void JMapTable::setBytes(const std::string& key, std::string_view bytes) {
    root_[key] = json::binary(json::binary_t::container_type(bytes.begin(), bytes.end()));
}

JMapTable* createTable() {
    auto table = new JMapTable;
    std::lock_guard<std::mutex> lock(gTablesLock);
    gTables.insert(table);
    return table;
}

JMapTable* liveTable(uint32_t handle) {
    auto table = reinterpret_cast<JMapTable*>(static_cast<uintptr_t>(handle));
    std::lock_guard<std::mutex> lock(gTablesLock);
    return gTables.count(table) ? table : nullptr;
}

void destroyTable(uint32_t handle) {
    auto table = reinterpret_cast<JMapTable*>(static_cast<uintptr_t>(handle));
    {
        std::lock_guard<std::mutex> lock(gTablesLock);
        if (!gTables.erase(table)) return;
    }
    delete table;
}

uint32_t handleOf(const JMapTable* table) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(table)); }

void destroyAllTables() {
    std::unordered_set<JMapTable*> tables;
    {
        std::lock_guard<std::mutex> lock(gTablesLock);
        tables.swap(gTables);
    }
    for (JMapTable* table : tables) delete table;
}

}  // namespace srvkit
