// Linked into every GoogleTest program: a run with failed tests ends with a
// failing status. The runtime host's object ends the process itself, with
// status 0, when workers a test left behind outlast its wait at exit; that
// would hide the failures from CTest.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr UINT kFailedRunStatus = 1;

void endFailedRun() {
    if (!::testing::UnitTest::GetInstance()->Failed()) return;
    std::fflush(nullptr);
    ExitProcess(kFailedRunStatus);
}

// Registered after the tests, so it runs before the static objects'
// destructors (the runtime host's among them).
class FailedRunKeepsItsStatus : public ::testing::Environment {
public:
    void TearDown() override { std::atexit(endFailedRun); }
};

const auto* const kFailedRunKeepsItsStatus = ::testing::AddGlobalTestEnvironment(new FailedRunKeepsItsStatus);

}  // namespace
