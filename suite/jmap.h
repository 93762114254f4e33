// The application's key-value table (JMap): one table object of the server
// suite, created with the variable and released with it. Every call goes
// through the runtime's library-command service to the forwarding entry
// point of its command.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/data_cell.h"

namespace suite {

enum JMapCommand : uint32_t {
    kJMapBaseCreate = 29,
    kJMapBaseRelease = 30,
    kJMapGetString = 34,
    kJMapFromJson = 132,
};

// The optional arguments of FromJSON; passed as absent cells when not set.
struct FromJsonOptions {
    const char* sourceEncoding = nullptr;
    std::optional<bool> convertEscapes;
    std::optional<bool> wideKeys;
};

class JMap {
public:
    JMap();   // BaseCreate
    ~JMap();  // BaseRelease
    JMap(const JMap&) = delete;
    JMap& operator=(const JMap&) = delete;

    // FromJSON with a text, or with a byte set.
    bool fromJson(const char* text, const FromJsonOptions& options = {});
    bool fromJsonBytes(const uint8_t* byteSet, const FromJsonOptions& options = {});

    // GetString: a new runtime text the caller frees; nullptr is the empty
    // text (a missing key gives it too). The key may also be a byte set
    // (wide-text keys).
    char* getString(const char* key);
    char* getStringByBytes(const uint8_t* byteSetKey);

    // The variable, as the commands receive it (by reference).
    rt::DataCell variableCell() { return rt::DataCell::refTo(&handle_, rt::kTypeJMap); }

private:
    bool load(const rt::DataCell& data, const FromJsonOptions& options);
    char* lookup(const rt::DataCell& key);

    uint32_t handle_ = 0;  // owned by the suite module
};

}  // namespace suite
