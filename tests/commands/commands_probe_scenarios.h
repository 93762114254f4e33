// Scenarios of the commands probe that need the built-in commands.
#pragma once

#include <string>

void probeLog(const std::string& line);
void runCommandScenario(const std::string& scenario);
