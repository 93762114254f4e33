// The suite's cache commands exported by name from the program; each passes
// its frame to the forwarding entry point of its command.
#include "runtime/data_cell.h"
#include "runtime/error_boundary.h"
#include "suite/forward_table.h"

#define SUITE_CACHE_EXPORT(name, slot)                                                      \
    extern "C" __declspec(dllexport) void name(rt::DataCell* result, int32_t count, rt::DataCell* args) { \
        rt::protectedRun([&] { suite::suiteEntryPoint(slot)(result, count, args); });      \
    }

SUITE_CACHE_EXPORT(srvkit_CacheGet, 273)
SUITE_CACHE_EXPORT(srvkit_CacheGetText, 274)
SUITE_CACHE_EXPORT(srvkit_CacheSet, 275)
SUITE_CACHE_EXPORT(srvkit_CacheSetText, 276)
SUITE_CACHE_EXPORT(srvkit_CacheGetMulti, 277)
SUITE_CACHE_EXPORT(srvkit_CacheGetMultiText, 278)
SUITE_CACHE_EXPORT(srvkit_CacheExists, 279)
SUITE_CACHE_EXPORT(srvkit_CacheDelete, 280)
SUITE_CACHE_EXPORT(srvkit_CacheClear, 281)
SUITE_CACHE_EXPORT(srvkit_CacheIncr, 282)
SUITE_CACHE_EXPORT(srvkit_CacheDecr, 283)
SUITE_CACHE_EXPORT(srvkit_CacheSetExpire, 284)
