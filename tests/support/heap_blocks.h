// Busy blocks of the process heap, where runtime values live: a block the
// code under test should have freed shows as one more, which HeapValidate
// would never report.
#pragma once

#include <windows.h>

#include <cstddef>

namespace test_support {

inline size_t liveHeapBlocks() {
    HANDLE heap = GetProcessHeap();
    size_t busy = 0;
    PROCESS_HEAP_ENTRY entry{};
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
    HeapUnlock(heap);
    return busy;
}

}  // namespace test_support
