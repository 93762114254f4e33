// Starts the suite library as the runtime would at start-up: the module is
// unpacked from this program's resource into a private temporary directory.
#include <gtest/gtest.h>
#include <windows.h>

#include "runtime/service_request.h"
#include "suite/forward_table.h"
#include "suite/suite_library.h"
#include "tests/support/msgbox_watch.h"

namespace {

class SuiteStarted : public testing::Environment {
public:
    void SetUp() override {
        std::wstring temp = testing_support::widen(testing_support::programDirectory() + "suite-tests-tmp\\");
        CreateDirectoryW(temp.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", temp.c_str());
        SetEnvironmentVariableW(L"TEMP", temp.c_str());
        suite::suiteLibraryNotify(1, static_cast<int32_t>(reinterpret_cast<uintptr_t>(&rt::requestService)), 0);
        ASSERT_TRUE(suite::suiteForwardTable().bound);
    }
};

testing::Environment* const gSuiteStarted = testing::AddGlobalTestEnvironment(new SuiteStarted);

}  // namespace
