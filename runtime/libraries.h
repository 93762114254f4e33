// Description records of the support libraries that live in the runtime
// itself. Programs list them (with the thread and suite libraries) in their
// header; list position is the library index of type and class identifiers.
#pragma once

#include "runtime/library_info.h"

namespace rt {

extern const LibraryInfo kCoreLibrary;             // 1 "系统核心库"
extern const LibraryInfo kExtendedUiLibrary;       // 2 "扩展界面库一"
extern const LibraryInfo kSpecialFunctionsLibrary; // 4 "特殊功能库"
extern const LibraryInfo kDataOperationsLibrary;   // 6 "数据操作库一"

// A description with the fixed fields filled in.
constexpr LibraryInfo describeLibrary(const char* identifier, const char* name, uint32_t major, uint32_t minor,
                                      uint32_t build, LibraryNotify notify = nullptr,
                                      const Command* commands = nullptr, uint32_t commandCount = 0) {
    return LibraryInfo{kLibraryFormatVersion, identifier, major, minor, build, {3, 0, 3, 0}, name, 1, nullptr, 0,
                       {}, 0, nullptr, {0, 0}, commandCount, nullptr, commands, {0, 0}, notify};
}

}  // namespace rt
