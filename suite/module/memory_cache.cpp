#include "suite/module/memory_cache.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>

namespace srvkit {

namespace {
uint64_t expiryFromNow(int64_t seconds) {
    return seconds > 0 ? GetTickCount64() + static_cast<uint64_t>(seconds) * 1000u : 0;
}

int64_t decimalValue(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE) return 0;
    return value;
}
}  // namespace

MemoryCache::Entry* MemoryCache::find(const std::string& key) {
    auto it = entries_.find(key);
    if (it == entries_.end()) return nullptr;
    if (it->second.expiresAt && GetTickCount64() >= it->second.expiresAt) {
        entries_.erase(it);
        return nullptr;
    }
    return &it->second;
}

void MemoryCache::set(const std::string& key, std::string value, int64_t expirySeconds) {
    std::lock_guard<std::mutex> guard(lock_);
    entries_[key] = Entry{std::move(value), expiryFromNow(expirySeconds)};
}

std::optional<std::string> MemoryCache::get(const std::string& key) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Entry* entry = find(key)) return entry->value;
    return std::nullopt;
}

bool MemoryCache::exists(const std::string& key) {
    std::lock_guard<std::mutex> guard(lock_);
    return find(key) != nullptr;
}

bool MemoryCache::remove(const std::string& key) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!find(key)) return false;
    entries_.erase(key);
    return true;
}

void MemoryCache::clear() {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.clear();
}

int64_t MemoryCache::add(const std::string& key, int64_t delta, int64_t expirySeconds) {
    std::lock_guard<std::mutex> guard(lock_);
    Entry* entry = find(key);
    if (!entry) entry = &(entries_[key] = Entry{});
    // Wraps like the 64-bit integer it is instead of overflowing.
    auto sum = static_cast<int64_t>(static_cast<uint64_t>(decimalValue(entry->value)) + static_cast<uint64_t>(delta));
    entry->value = std::to_string(sum);
    if (expirySeconds > 0) entry->expiresAt = expiryFromNow(expirySeconds);
    return sum;
}

bool MemoryCache::setExpiry(const std::string& key, int64_t expirySeconds) {
    std::lock_guard<std::mutex> guard(lock_);
    Entry* entry = find(key);
    if (!entry) return false;
    entry->expiresAt = expiryFromNow(expirySeconds);
    return true;
}

MemoryCache& memoryCache() {
    static MemoryCache cache;
    return cache;
}

}  // namespace srvkit
