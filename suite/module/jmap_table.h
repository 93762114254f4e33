// The key-value table behind a JMap variable: a parsed JSON object, held in
// UTF-8, looked up by member name or by a "//" path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "suite/module/json_limits.h"

namespace srvkit {

class JMapTable {
public:
    // Replaces the content with the JSON object in utf8. Anything but an
    // object (an array, a scalar, text that isn't JSON) fails and leaves
    // the table empty. Without convertEscapes, "\u" escapes stay as the
    // six characters they are written with; one that would not decode (not
    // four hex digits, a lone surrogate) fails the load all the same. A
    // document nested deeper than kMaxJsonDepth fails too.
    bool loadJson(std::string_view utf8, bool convertEscapes, bool wideKeys);
    void clear();

    // A member by name, "//path" into the content, or "////name" for a
    // member whose name begins with "//". The value as UTF-8 text, or the
    // bytes of a binary value unchanged (raw set); nothing when absent.
    std::optional<std::string> lookup(std::string_view keyUtf8, bool* raw = nullptr) const;

    void setText(const std::string& keyUtf8, const std::string& valueUtf8);
    void setBytes(const std::string& keyUtf8, std::string_view bytes);

    // Keys kept as wide text can only be read with wide-text keys.
    bool wideKeys() const { return wideKeys_; }

private:
    const nlohmann::json* resolvePath(std::string_view path) const;

    nlohmann::json root_ = nlohmann::json::object();
    bool wideKeys_ = false;
};

// Handles that JMap variables hold are addresses of live tables; anything
// else (a variable never created, or already released) is no table.
JMapTable* createTable();
JMapTable* liveTable(uint32_t handle);
void destroyTable(uint32_t handle);
uint32_t handleOf(const JMapTable* table);
void destroyAllTables();

}  // namespace srvkit
