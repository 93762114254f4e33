// For GoogleTest programs of the web and COM layers: the runtime object and
// its start-up (OLE, DLL tables) before the first test; the program header is
// tests/support/dll_program_header.cpp.
#include <gtest/gtest.h>

#include "runtime/runtime_app.h"

namespace {

rt::RuntimeApp gHostRuntime;

class RuntimeStart : public ::testing::Environment {
public:
    void SetUp() override { rt::RuntimeApp::instance().runtimeInit(); }
};

const auto* const kRuntimeStart = ::testing::AddGlobalTestEnvironment(new RuntimeStart);

}  // namespace
