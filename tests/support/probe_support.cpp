#include "tests/support/probe_support.h"

#include <windows.h>
#include <shellapi.h>

namespace testing_support {

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> out;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 0; i < argc; ++i) {
        int length = WideCharToMultiByte(CP_ACP, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<size_t>(length > 0 ? length : 1), '\0');
        WideCharToMultiByte(CP_ACP, 0, argv[i], -1, text.data(), length, nullptr, nullptr);
        text.resize(text.size() - 1);  // the terminator
        out.push_back(text);
    }
    LocalFree(argv);
    return out;
}

}  // namespace testing_support
