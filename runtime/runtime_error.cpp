#include "runtime/runtime_error.h"

#include <windows.h>

#include <cstdio>

#include "runtime/runtime_app.h"
#include "runtime/window_system.h"

namespace rt {

namespace {
const char* const kErrorMessages[] = {
    "数组成员引用下标超出定义范围",
    "未得到所需要的数值型数据",
    "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
    "数组成员引用下标必须大于等于1",
    "数据或数组类型不匹配",
    "调用DLL命令后发现堆栈错误",
    "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
    "被比较数据只能使用等于或不等于命令比较",
    "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
    "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
    "所提供参数的数据类型不符合要求",
};

std::string quoted(const std::string& tag) { return "\r\n\"" + tag + "\""; }

std::string locationText(int32_t location1, int32_t location2) {
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "\r\n%d, %d", location1, location2);
    std::string text = numbers;
    if (location1 != 0 && isWindowIdentifier(static_cast<uint32_t>(location1))) {
        WindowSystem* windows = windowSystem();
        std::string tag;
        uint32_t windowId = static_cast<uint32_t>(location1);
        if (!windows || !windows->windowTagText(windowId, tag)) {
            text += "\r\n未找到所指定的窗口";
        } else {
            text += quoted(tag);
            if (windows->unitTagText(windowId, static_cast<uint32_t>(location2), tag)) text += quoted(tag);
            else text += "\r\n未找到所指定的窗口组件";
        }
    }
    return text + "\r\n";
}
}  // namespace

const char* errorNumberMessage(int32_t number) {
    return (number >= 1 && number <= 11) ? kErrorMessages[number - 1] : "";
}

std::string formatRuntimeError(const char* message, int32_t number, int32_t location1, int32_t location2) {
    std::string text = "运行时出错!\r\n";
    if (number != 0) text += "\r\n错误代码：" + std::to_string(number) + "\r\n";
    if (message && *message) text += std::string("\r\n错误信息：") + message + "\r\n";
    return text + locationText(location1, location2);
}

void reportRuntimeError(const char* message, int32_t number, int32_t location1, int32_t location2) {
    RuntimeApp& runtime = RuntimeApp::instance();
    ++runtime.eventBlockCount;
    std::string text = formatRuntimeError(message, number, location1, location2);
    MessageBoxA(nullptr, text.c_str(), "错误", MB_ICONHAND);
    runtime.dropExitHandlers();
    runtime.endProgram(-1);
}

void reportErrorNumber(int32_t number, int32_t location1, int32_t location2) {
    reportRuntimeError(errorNumberMessage(number), number, location1, location2);
}

}  // namespace rt
