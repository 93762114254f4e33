#include "tests/commands/commands_probe_scenarios.h"

void runCommandScenario(const std::string& scenario) { probeLog("unknown scenario " + scenario); }
