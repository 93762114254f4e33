#include "suite/module/runtime_link.h"

#include <atomic>
#include <cstring>

namespace srvkit {

namespace {
std::atomic<rt::ServiceRequest> gRequest{nullptr};

constexpr int32_t kAllocate = 2024;

void* allocate(uint32_t size) {
    rt::ServiceRequest request = gRequest.load();
    if (!request) return nullptr;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(request(kAllocate, static_cast<int32_t>(size), 0))));
}
}  // namespace

void installServiceRequest(rt::ServiceRequest request) { gRequest.store(request); }

char* runtimeText(std::string_view bytes) {
    if (bytes.empty()) return nullptr;
    auto text = static_cast<char*>(allocate(static_cast<uint32_t>(bytes.size() + 1)));
    if (!text) return nullptr;
    std::memcpy(text, bytes.data(), bytes.size());
    text[bytes.size()] = '\0';
    return text;
}

uint8_t* runtimeByteSet(std::string_view bytes) {
    if (bytes.empty()) return nullptr;
    auto block = static_cast<uint8_t*>(allocate(static_cast<uint32_t>(bytes.size() + 8)));
    if (!block) return nullptr;
    uint32_t header[2] = {1, static_cast<uint32_t>(bytes.size())};
    std::memcpy(block, header, 8);
    std::memcpy(block + 8, bytes.data(), bytes.size());
    return block;
}

const rt::DataCell& argument(int32_t count, const rt::DataCell* args, int32_t i) {
    static const rt::DataCell absent{};
    return (args && i >= 0 && i < count) ? args[i] : absent;
}

bool bytesOf(const rt::DataCell& cell, std::string& out) {
    out.clear();
    switch (cell.valueType()) {
        case rt::kTypeText:
            if (const char* text = cell.asText()) out.assign(text);
            return true;
        case rt::kTypeByteSet:
            if (const uint8_t* block = cell.asByteSet()) {
                uint32_t length;
                std::memcpy(&length, block + 4, 4);
                out.assign(reinterpret_cast<const char*>(block + 8), length);
            }
            return true;
        default:
            return false;
    }
}

std::string textOf(const rt::DataCell& cell) {
    std::string out;
    bytesOf(cell, out);
    return out;
}

int64_t integerOf(const rt::DataCell& cell, int64_t fallback) {
    switch (cell.valueType()) {
        case rt::kTypeByte: return *static_cast<const uint8_t*>(cell.valuePtr());
        case rt::kTypeShort: return *static_cast<const int16_t*>(cell.valuePtr());
        case rt::kTypeInt: case rt::kTypeBool: return cell.asInt();
        case rt::kTypeInt64: return cell.asInt64();
        case rt::kTypeFloat: return static_cast<int64_t>(cell.asFloat());
        case rt::kTypeDouble: return static_cast<int64_t>(cell.asDouble());
        default: return fallback;
    }
}

bool logicalOf(const rt::DataCell& cell, bool fallback) {
    if (cell.absent()) return fallback;
    return integerOf(cell, fallback ? 1 : 0) != 0;
}

}  // namespace srvkit
