// Small pieces shared by the probe programs that tests start.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// The program's command-line arguments (argument 0 included), in the
// system's ANSI code page, as the runtime's texts are.
std::vector<std::string> commandLineArguments();

}  // namespace testing_support
