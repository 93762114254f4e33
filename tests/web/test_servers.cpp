#include "tests/web/test_servers.h"

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace test_servers {

namespace {
uint16_t portFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? static_cast<uint16_t>(std::atoi(value)) : 0;
}
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}
}  // namespace

uint16_t nginxPort() { return portFromEnvironment("PELMORA_NGINX_PORT"); }
uint16_t faultPort() { return portFromEnvironment("PELMORA_FAULT_PORT"); }

std::string nginxRoot() {
    std::string root = environment("PELMORA_NGINX_ROOT");
    if (!root.empty() && root.back() != '\\') root += '\\';
    return root;
}

std::string nginxAccessLog() { return environment("PELMORA_NGINX_ACCESS_LOG"); }

std::string nginxUrl(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(nginxPort()) + path;
}

std::string faultUrl(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(faultPort()) + path;
}

uint16_t closedPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(s);
    return ntohs(address.sin_port);
}

std::string patternBytes(size_t start, size_t end) {
    std::string out;
    out.reserve(end > start ? end - start : 0);
    for (size_t i = start; i < end; ++i) out.push_back(static_cast<char>((i * 31 + 7) % 251));
    return out;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string takeNginxLog() {
    std::string log = readWholeFile(nginxAccessLog());
    writeWholeFile(nginxAccessLog(), "");  // nginx appends, so it goes on from the start
    return log;
}

std::string takeFaultRequests() {
    std::string body;
    HINTERNET session = InternetOpenA("tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session) return body;
    HINTERNET request = InternetOpenUrlA(session, faultUrl("/__requests").c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (request) {
        char buffer[4096];
        DWORD read = 0;
        while (InternetReadFile(request, buffer, sizeof buffer, &read) && read) body.append(buffer, read);
        InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    return body;
}

}  // namespace test_servers
