// The servers that tests/servers/run_with_servers.py started for this test
// program, as the environment names them.
#pragma once

#include <cstdint>
#include <string>

namespace test_servers {

// 0 when the program wasn't started by the server driver.
uint16_t nginxPort();
uint16_t faultPort();
// The folder nginx serves (Windows path, trailing backslash).
std::string nginxRoot();
std::string nginxAccessLog();

std::string nginxUrl(const std::string& path);
std::string faultUrl(const std::string& path);
// A port on 127.0.0.1 where nothing listens.
uint16_t closedPort();

// The fault server's pattern: byte i is (i * 31 + 7) % 251.
std::string patternBytes(size_t start, size_t end);

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& bytes);

// nginx's access lines since the last call ("REQUEST "RANGE" STATUS BYTES").
std::string takeNginxLog();

// The requests the fault server saw since the last call (JSON text).
std::string takeFaultRequests();

}  // namespace test_servers
