// The module's command functions, by the slot they occupy in its table.
#pragma once

#include <cstdint>

#include "runtime/data_cell.h"

namespace srvkit {

constexpr uint32_t kCommandCount = 987;

// No exception leaves a command: whatever throws leaves the result as it is.
template <class Body>
void guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

// Slots 29, 30, 34, 132: the key-value table.
void baseCreate(rt::DataCell* result, int32_t count, rt::DataCell* args);
void baseRelease(rt::DataCell* result, int32_t count, rt::DataCell* args);
void getString(rt::DataCell* result, int32_t count, rt::DataCell* args);
void fromJson(rt::DataCell* result, int32_t count, rt::DataCell* args);

// Slots 273 to 284: the memory cache.
void cacheGet(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheGetText(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheSet(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheSetText(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheMultiGet(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheMultiGetText(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheExists(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheDelete(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheClear(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheIncr(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheDecr(rt::DataCell* result, int32_t count, rt::DataCell* args);
void cacheSetExpire(rt::DataCell* result, int32_t count, rt::DataCell* args);

// Drops every table and cached entry (end notification).
void releaseAll();

}  // namespace srvkit
