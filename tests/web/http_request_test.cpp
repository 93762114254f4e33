// httpRequest against our echo server: what the server received is what
// the client sent.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/com/com_commands.h"
#include "tests/web/runtime_values.h"
#include "tests/web/test_servers.h"
#include "web/http_request.h"

using namespace web;
using namespace test_values;
using test_servers::faultUrl;

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The echo body's header block (request line and header lines).
std::string echoedHead(const std::string& body) { return body.substr(0, body.find("\r\n\r\n") + 2); }

class HttpRequest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(test_servers::faultPort(), 0) << "run through tests/servers/run_with_servers.py"; }
};

}  // namespace

TEST_F(HttpRequest, EveryOptionalLeftOutSendsTheBrowserDefaults) {
    TextVar url(faultUrl("/echo/defaults"));
    std::string body = takeBytes(httpRequest(&url));
    std::string head = echoedHead(body);
    EXPECT_EQ(head.rfind("GET /echo/defaults HTTP/1.1\r\n", 0), 0u) << head;
    EXPECT_TRUE(has(head, "\r\nAccept: */*\r\n")) << head;
    EXPECT_TRUE(has(head, "\r\nReferer: " + url.str() + "\r\n")) << head;
    EXPECT_TRUE(has(head, "\r\nAccept-Language: zh-cn\r\n")) << head;
    EXPECT_TRUE(has(head, "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n")) << head;
    EXPECT_FALSE(has(head, "Content-Type")) << head;
    EXPECT_FALSE(has(head, "Cookie")) << head;
}

TEST_F(HttpRequest, MethodTableAndPostBody) {
    struct Case { int32_t index; const char* method; } cases[] = {
        {1, "POST"}, {3, "PUT"}, {5, "DELETE"}, {4, "OPTIONS"}, {8, "GET"}, {-1, "GET"}};
    for (const Case& c : cases) {
        TextVar url(faultUrl("/echo/m")), body("a=1&b=%E4");
        int32_t status = 0;
        std::string echoed = takeBytes(httpRequest(&url, c.index, &body, {}, {}, {}, {}, &status));
        EXPECT_EQ(status, 200);
        EXPECT_EQ(echoed.rfind(std::string(c.method) + " /echo/m HTTP/1.1\r\n", 0), 0u) << echoed;
        bool post = c.index == 1;
        EXPECT_EQ(has(echoedHead(echoed), "\r\nContent-Type: application/x-www-form-urlencoded\r\n"), post) << echoed;
        if (post || c.index == 3) {
            EXPECT_EQ(echoed.substr(echoed.size() - 9), "a=1&b=%E4");
        }
    }
}

TEST_F(HttpRequest, ExtraHeadersAreNormalisedAndSuppressDefaults) {
    TextVar url(faultUrl("/echo/h"));
    TextVar extra("accept: text/html\r\ncontent-type: text/plain\r\nx-requested-with: XMLHttpRequest\r\n"
                  "line without colon\r\nX-UPPER: Value Case\r\nreferer: http://elsewhere/");
    std::string head = echoedHead(takeBytes(httpRequest(&url, 1, {}, {}, {}, &extra)));
    EXPECT_TRUE(has(head, "\r\nAccept: text/html\r\n")) << head;
    EXPECT_FALSE(has(head, "*/*")) << head;
    EXPECT_TRUE(has(head, "\r\nContent-Type: text/plain\r\n")) << head;
    EXPECT_FALSE(has(head, "x-www-form-urlencoded")) << head;
    EXPECT_TRUE(has(head, "\r\nX-Requested-With: XMLHttpRequest\r\n")) << head;
    EXPECT_TRUE(has(head, "\r\nX-UPPER: Value Case\r\n")) << head;
    EXPECT_TRUE(has(head, "\r\nReferer: http://elsewhere/\r\n")) << head;
    EXPECT_FALSE(has(head, "without")) << head;

    // Both switches off: the text goes as written, one line at a time.
    TextVar raw("x-lower: v");
    std::string plain = echoedHead(takeBytes(httpRequest(&url, {}, {}, {}, {}, &raw, {}, {}, {}, {}, {}, {}, {}, {},
                                                         {}, {}, {}, 0, 0)));
    EXPECT_TRUE(has(plain, "\r\nx-lower: v\r\n")) << plain;
    EXPECT_FALSE(has(plain, "Referer")) << plain;
    EXPECT_FALSE(has(plain, "zh-cn")) << plain;
}

TEST_F(HttpRequest, OutputsAreWrittenAndCookiesCollectedAndMerged) {
    TextVar url(faultUrl("/setcookie?c=b%3D3%3B+path%3D%2F&c=c%3D4%3B+HttpOnly"));
    TextVar send("Cookie: a=1; b=2"), received("stale"), headers("stale");
    int32_t status = -5;
    std::string body = takeBytes(httpRequest(&url, {}, {}, &send, &received, {}, &headers, &status));
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(has(body, "\r\nCookie: a=1; b=2\r\n")) << body;
    EXPECT_TRUE(has(headers.str(), "Set-Cookie: b=3; path=/\r\n")) << headers.str();
    EXPECT_EQ(received.str(), "b=3; c=4; a=1");
    EXPECT_EQ(send.str(), "b=3; c=4; a=1");

    // Without merging the sent text stays (prefix removed), received holds only the new cookies.
    TextVar send2("Cookie: a=1"), received2;
    takeBytes(httpRequest(&url, {}, {}, &send2, &received2, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, 0));
    EXPECT_EQ(send2.str(), " a=1");
    EXPECT_EQ(received2.str(), "b=3; c=4");
}

TEST_F(HttpRequest, ErrorStatusBodyAndRedirects) {
    TextVar missing(faultUrl("/status/404"));
    int32_t status = 0;
    EXPECT_EQ(takeBytes(httpRequest(&missing, {}, {}, {}, {}, {}, {}, &status)), "error page 404");
    EXPECT_EQ(status, 404);

    TextVar moved(faultUrl("/redirect?to=/echo/target"));
    std::string followed = takeBytes(httpRequest(&moved, {}, {}, {}, {}, {}, {}, &status));
    EXPECT_EQ(status, 200);
    EXPECT_EQ(followed.rfind("GET /echo/target HTTP/1.", 0), 0u) << followed;
    std::string kept = takeBytes(httpRequest(&moved, {}, {}, {}, {}, {}, {}, &status, 1));
    EXPECT_EQ(status, 302);
    EXPECT_EQ(kept, "moved");
}

TEST_F(HttpRequest, ByteBodyWinsOverTextBody) {
    TextVar url(faultUrl("/echo/bytes")), text("ignored");
    std::string binary("\x00\x01\xFF\r\n", 5);
    uint8_t* bytes = byteSet(binary);
    std::string echoed = takeBytes(httpRequest(&url, 3, &text, {}, {}, {}, {}, {}, {}, &bytes));
    rt::rtFree(bytes);
    EXPECT_EQ(echoed.substr(echoed.size() - 5), binary);
    EXPECT_FALSE(has(echoed, "ignored"));
}

// Wine's request object keeps the proxy of "SetProxy" but connects to the
// target itself; the proxy here is the echo server too, so the request
// arrives either way and the headers the client set can be checked.
TEST_F(HttpRequest, BasicProxyAuthorisationOnlyWithAProxyUser) {
    std::string proxyAddress = "127.0.0.1:" + std::to_string(test_servers::faultPort());
    TextVar url(faultUrl("/echo/viaproxy")), proxy(proxyAddress), user("user"), password("pa:ss");
    std::string echoed = takeBytes(
        httpRequest(&url, {}, {}, {}, {}, {}, {}, {}, {}, {}, &proxy, {}, &user, &password));
    EXPECT_TRUE(has(echoed, "/echo/viaproxy HTTP/1.1\r\n")) << echoed;
    EXPECT_TRUE(has(echoed, "\r\nProxy-Authorization: Basic dXNlcjpwYTpzcw==\r\n")) << echoed;

    // Another credentials flag: SetCredentials only, no header of our own.
    std::string flagged = takeBytes(
        httpRequest(&url, {}, {}, {}, {}, {}, {}, {}, {}, {}, &proxy, {}, &user, &password, 0));
    EXPECT_TRUE(has(flagged, "/echo/viaproxy HTTP/1.1\r\n")) << flagged;
    EXPECT_FALSE(has(flagged, "Proxy-Authorization")) << flagged;

    std::string anonymous = takeBytes(httpRequest(&url, {}, {}, {}, {}, {}, {}, {}, {}, {}, &proxy));
    EXPECT_TRUE(has(anonymous, "/echo/viaproxy HTTP/1.1\r\n")) << anonymous;
    EXPECT_FALSE(has(anonymous, "Proxy-Authorization")) << anonymous;
}

TEST_F(HttpRequest, GivenRequestObjectIsUsedAndKeptAlive) {
    rt::ComObjectBlock block{nullptr, 0};
    rt::ComObjectBlock* object = &block;
    rt::DataCell create[] = {rt::DataCell::ofPointer(&block, rt::kTypeComObject),
                             rt::DataCell::ofText("WinHttp.WinHttpRequest.5.1")};
    ASSERT_TRUE(rt::callCommand(rt::comCreate, 2, create).asBool());
    TextVar url(faultUrl("/status/500"));
    takeBytes(httpRequest(&url, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, &object));
    ASSERT_NE(block.unknown, nullptr);
    // The caller's object answered the request.
    rt::DataCell status[] = {rt::DataCell::ofPointer(&block, rt::kTypeComObject), rt::DataCell::ofText("Status")};
    EXPECT_EQ(rt::callCommand(rt::comGetNumber, 2, status).asDouble(), 500.0);
    rt::clearComObject(&block);
}

namespace {
struct ThreadRun {
    std::string url;
    std::string body;
    HRESULT afterwards = E_FAIL;
};
DWORD __stdcall requestOnFreshThread(void* param) {
    auto* run = static_cast<ThreadRun*>(param);
    TextVar url(run->url);
    run->body = takeBytes(httpRequest(&url));
    // COM must be left uninitialised on this thread: a different apartment
    // model is then accepted.
    run->afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(run->afterwards)) CoUninitialize();
    return 0;
}
}  // namespace

TEST_F(HttpRequest, ComIsInitialisedAndUninitialisedAroundTheCall) {
    for (const char* path : {"/echo/thread", "/status/503"}) {
        ThreadRun run{faultUrl(path)};
        HANDLE thread = CreateThread(nullptr, 0, requestOnFreshThread, &run, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_FALSE(run.body.empty());
        EXPECT_EQ(run.afterwards, S_OK) << path;
    }
}

TEST_F(HttpRequest, UnreachableServerGivesEmptyOutputs) {
    TextVar url("http://127.0.0.1:" + std::to_string(test_servers::closedPort()) + "/x");
    TextVar headers("old"), received("old");
    int32_t status = 7;
    EXPECT_EQ(takeBytes(httpRequest(&url, {}, {}, {}, &received, {}, &headers, &status)), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(headers.value, nullptr);
    EXPECT_EQ(received.value, nullptr);
}

// A server that drips its body or never answers resets or escapes the
// object's per-step time-outs: the whole exchange still ends within twice
// the time-out. Nothing is read from a request whose send failed or was
// aborted (the object may crash on it).
TEST_F(HttpRequest, AnExchangeEndsWithinTwiceItsTimeOut) {
    constexpr int32_t kTimeoutSeconds = 1;
    constexpr DWORD kLimitMs = 2 * kTimeoutSeconds * 1000 + 1500;
    for (const char* path : {"/drip/100?ms=300", "/silent", "/stall/100000?after=10&seconds=30"}) {
        TextVar url(faultUrl(path));
        TextVar headers("old");
        int32_t status = 7;
        const DWORD start = GetTickCount();
        std::string body = takeBytes(
            httpRequest(&url, {}, {}, {}, {}, {}, &headers, &status, {}, {}, {}, kTimeoutSeconds));
        EXPECT_LT(GetTickCount() - start, kLimitMs) << path;
        EXPECT_EQ(body, "") << path;
        EXPECT_EQ(status, 0) << path;
        EXPECT_EQ(headers.value, nullptr) << path;
    }
}
