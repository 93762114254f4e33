#include "suite/suite_library.h"

#include "runtime/error_boundary.h"
#include "runtime/libraries.h"
#include "suite/forward_table.h"
#include "suite/suite_module.h"

namespace suite {

const rt::LibraryInfo kSuiteLibrary =
    rt::describeLibrary("f3a1c0d9b86e4e2a9c7d5b1e0a4f8c62", "SrvKit互联网服务器套件2.7.2", 2, 0, 51,
                        &suiteLibraryNotify, suiteEntryPoints(), kSuiteCommandCount);

int32_t __stdcall suiteLibraryNotify(int32_t code, int32_t arg1, int32_t arg2) {
    return rt::protectedCall(0, [&] {
        loadSuiteModule();
        const SuiteForwardTable& table = suiteForwardTable();
        // Unbound only while the process is ending after a failed load.
        if (!table.bound || !table.moduleNotify) return 0;
        return table.moduleNotify(code, arg1, arg2);
    });
}

}  // namespace suite
