#include "runtime/heap.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/data_cell.h"
#include "runtime/error_boundary.h"
#include "runtime/runtime_error.h"

namespace rt {

namespace {
// Recorded at start-up and read by every free and reallocate, from any
// thread. The start is published last: a reader that sees it sees its end.
std::atomic<const uint8_t*> gConstStart{nullptr};
std::atomic<const uint8_t*> gConstEnd{nullptr};

thread_local uint32_t tFailedAllocation = 0;

[[noreturn]] void allocationFailed(uint32_t size) { reportAllocationFailure(size); }
}  // namespace

uint32_t failedAllocationSize() { return tFailedAllocation; }

void reportAllocationFailure(uint32_t size) {
    char message[64];
    wsprintfA(message, "分配 %d 字节内存失败!", static_cast<int>(size));
    reportRuntimeError(message, 0, 0, 0);
}

// The size of a failed C++ allocation, for the error boundary's box.
void recordFailedAllocation(size_t size) {
    tFailedAllocation = size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
}

void setConstantSegment(const void* start, uint32_t size) {
    auto first = static_cast<const uint8_t*>(start);
    gConstStart.store(nullptr, std::memory_order_release);
    gConstEnd.store(first + size, std::memory_order_release);
    gConstStart.store(first, std::memory_order_release);
}

void clearConstantSegment() {
    gConstStart.store(nullptr, std::memory_order_release);
    gConstEnd.store(nullptr, std::memory_order_release);
}

const uint8_t* constantSegmentEndFor(const void* address) {
    auto p = static_cast<const uint8_t*>(address);
    const uint8_t* start = gConstStart.load(std::memory_order_acquire);
    if (!start || p < start) return nullptr;
    const uint8_t* end = gConstEnd.load(std::memory_order_acquire);
    return p < end ? end : nullptr;
}

void* rtTryAlloc(uint32_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void* rtAlloc(uint32_t size) {
    void* block = rtTryAlloc(size);
    if (!block) allocationFailed(size);
    return block;
}

void rtFree(void* block) {
    if (!block || constantSegmentEndFor(block)) return;
    HeapFree(GetProcessHeap(), 0, block);
}

void* rtRealloc(void* block, uint32_t size) {
    if (!block) return rtAlloc(size);
    if (const uint8_t* end = constantSegmentEndFor(block)) {
        // A literal is never resized in place: copy what fits up to the segment end.
        void* fresh = rtAlloc(size);
        size_t available = static_cast<size_t>(end - static_cast<const uint8_t*>(block));
        std::memcpy(fresh, block, available < size ? available : size);
        return fresh;
    }
    void* fresh = HeapReAlloc(GetProcessHeap(), 0, block, size);
    if (!fresh) allocationFailed(size);
    return fresh;
}

char* makeText(const char* bytes, size_t length) {
    if (!bytes || length == 0) return nullptr;
    auto text = static_cast<char*>(rtAlloc(static_cast<uint32_t>(length + 1)));
    std::memcpy(text, bytes, length);
    text[length] = 0;
    return text;
}

char* makeText(const char* zeroTerminated) {
    return zeroTerminated ? makeText(zeroTerminated, std::strlen(zeroTerminated)) : nullptr;
}

size_t textLength(const char* text) { return text ? std::strlen(text) : 0; }

uint8_t* makeByteSet(const void* bytes, size_t length) {
    if (length == 0) return nullptr;
    auto block = static_cast<uint8_t*>(rtAlloc(static_cast<uint32_t>(length + 8)));
    const uint32_t header[2] = {1, static_cast<uint32_t>(length)};
    std::memcpy(block, header, 8);
    if (bytes) std::memcpy(block + 8, bytes, length);
    else std::memset(block + 8, 0, length);
    return block;
}

uint32_t byteSetLength(const uint8_t* byteSet) {
    if (!byteSet) return 0;
    uint32_t length;
    std::memcpy(&length, byteSet + 4, 4);
    return length;
}

uint8_t* byteSetData(uint8_t* byteSet) { return byteSet ? byteSet + 8 : nullptr; }
const uint8_t* byteSetData(const uint8_t* byteSet) { return byteSet ? byteSet + 8 : nullptr; }

void* makeArray(uint32_t elementWidth, uint32_t count) {
    auto block = static_cast<uint32_t*>(rtAlloc(8 + elementWidth * count));
    block[0] = 1;
    block[1] = count;
    std::memset(block + 2, 0, elementWidth * count);
    return block;
}

uint32_t arrayDimensions(const void* array) {
    return array ? static_cast<const uint32_t*>(array)[0] : 0;
}

uint32_t arrayElementCount(const void* array) {
    if (!array) return 0;
    auto words = static_cast<const uint32_t*>(array);
    uint32_t count = 1;
    for (uint32_t d = 0; d < words[0]; ++d) count *= words[1 + d];
    return count;
}

void* arrayElements(void* array) {
    auto words = static_cast<uint32_t*>(array);
    return words + 1 + words[0];
}

const void* arrayElements(const void* array) {
    auto words = static_cast<const uint32_t*>(array);
    return words + 1 + words[0];
}

void freeArray(uint32_t elementType, void* array) {
    if (!array) return;
    uint32_t type = rt::elementType(elementType);
    if (type == kTypeText || type == kTypeByteSet) {
        auto elements = static_cast<void**>(arrayElements(array));
        for (uint32_t i = 0, n = arrayElementCount(array); i < n; ++i) rtFree(elements[i]);
    }
    rtFree(array);
}

}  // namespace rt

// The program's operator new: as the C++ library's (malloc, new handler,
// std::bad_alloc), but the failed size is recorded first, so the error
// boundary can name it in the allocation failure box.
void* operator new(std::size_t size) {
    for (;;) {
        if (void* block = std::malloc(size ? size : 1)) return block;
        std::new_handler handler = std::get_new_handler();
        if (!handler) {
            rt::recordFailedAllocation(size);
            throw std::bad_alloc();
        }
        handler();
    }
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
