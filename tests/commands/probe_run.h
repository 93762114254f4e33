// Runs the commands probe with one scenario under the message-box watcher
// and reads back its log.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/msgbox_watch.h"

struct ProbeRun {
    testing_support::WatchedRun run;
    std::string log;
    bool logged(const std::string& line) const { return log.find(line + "\n") != std::string::npos; }
};

inline ProbeRun runCommandsProbe(const std::string& scenario) {
    using namespace testing_support;
    std::string dir = programDirectory();
    std::string logPath = dir + "commands-probe-" + scenario + ".log";
    DeleteFileW(widen(logPath).c_str());
    ProbeRun probe;
    probe.run = runWatched("\"" + dir + "commands_probe.exe\" " + scenario + " \"" + logPath + "\"", 60000);
    std::ifstream in(widen(logPath).c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    probe.log = text.str();
    return probe;
}

// The runtime-error box text for a message of the runtime itself.
inline std::string runtimeErrorText(const std::string& messageUtf8, int number = 0) {
    using testing_support::u8s;
    std::string text = u8s(u8"运行时出错!\r\n");
    if (number) text += u8s(u8"\r\n错误代码：") + std::to_string(number) + "\r\n";
    return text + u8s(u8"\r\n错误信息：") + messageUtf8 + "\r\n\r\n0, 0\r\n";
}
