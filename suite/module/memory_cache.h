// The suite's memory cache: byte contents by key, each with its own expiry.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace srvkit {

class MemoryCache {
public:
    // expirySeconds > 0: the entry expires that many seconds from now;
    // otherwise it never does.
    void set(const std::string& key, std::string value, int64_t expirySeconds);
    std::optional<std::string> get(const std::string& key);
    bool exists(const std::string& key);
    bool remove(const std::string& key);
    void clear();
    // Adds delta to the decimal number stored under key (missing, expired
    // or not a number counts as 0) and stores the sum as decimal text. A
    // positive expiry renews the entry's expiry, otherwise it is kept.
    int64_t add(const std::string& key, int64_t delta, int64_t expirySeconds);
    // False when the key isn't present.
    bool setExpiry(const std::string& key, int64_t expirySeconds);

private:
    struct Entry {
        std::string value;
        uint64_t expiresAt = 0;  // tick count in ms; 0: never
    };
    // The live entry under key; an expired one is dropped.
    Entry* find(const std::string& key);

    std::mutex lock_;
    std::unordered_map<std::string, Entry> entries_;
};

MemoryCache& memoryCache();

}  // namespace srvkit
