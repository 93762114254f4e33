// The server suite as a support library of the program (library 5): its
// description record, whose commands are the forwarding entry points, and
// its notification function, which loads the module on first use.
#pragma once

#include "runtime/library_info.h"

namespace suite {

constexpr uint32_t kSuiteLibraryIndex = 5;

extern const rt::LibraryInfo kSuiteLibrary;  // "SrvKit互联网服务器套件2.7.2", 2.0 build 51

// Loads and binds the module when the table isn't bound yet, then passes the
// notification to the module.
int32_t __stdcall suiteLibraryNotify(int32_t code, int32_t arg1, int32_t arg2);

}  // namespace suite
