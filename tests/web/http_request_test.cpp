// httpRequest against our echo server: what the server received is what
// the client sent.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

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

namespace {
// The live heap blocks once the count has held still for a moment: the
// system's own threads finish a request's work a little after it returns.
size_t settledHeapBlocks() {
    constexpr DWORD kStillMs = 20;
    constexpr int kMostLooks = 50;
    size_t count = liveHeapBlocks();
    for (int look = 0; look < kMostLooks; ++look) {
        Sleep(kStillMs);
        const size_t again = liveHeapBlocks();
        if (again == count) break;
        count = again;
    }
    return count;
}
}  // namespace

// Nothing the call allocates outlives it but the body it returns, on the
// ways that hold texts, byte sets and variants of their own: the heap has as
// many live blocks after a request (body freed) as before. Every shape runs
// once first, so that the system's caches are filled before the counts; a
// block the system frees late, on a thread of its own, may still land in a
// count, so a shape has three tries (a lost free shows in every one).
TEST_F(HttpRequest, NothingOutlivesTheCallButItsBody) {
    using Call = void (*)(const std::string& url, const std::string& proxy);
    const struct {
        const char* name;
        Call call;
    } shapes[] = {
        {"outputs given, holding texts",
         [](const std::string& url, const std::string&) {
             TextVar u(url), send("Cookie: a=1"), received("old"), headers("old");
             int32_t status = 0;
             takeBytes(httpRequest(&u, {}, {}, &send, &received, {}, &headers, &status));
         }},
        {"outputs left out, cookies merged into the sent text",
         [](const std::string& url, const std::string&) {
             TextVar u(url), send("a=1");
             takeBytes(httpRequest(&u, {}, {}, &send));
         }},
        // A GET: under Wine a PUT with a byte body leaves two blocks behind on
        // every call, though its variant made and cleared alone leaves none.
        {"a byte body, through a proxy with a user",
         [](const std::string& url, const std::string& proxy) {
             TextVar u(url), p(proxy), user("user"), password("pw");
             uint8_t* bytes = byteSet("\x01\x02");
             takeBytes(httpRequest(&u, {}, {}, {}, {}, {}, {}, {}, {}, &bytes, &p, {}, &user, &password));
             rt::rtFree(bytes);
         }},
    };
    const std::string url = faultUrl("/setcookie?c=b%3D3%3B+path%3D%2F");
    const std::string proxy = "127.0.0.1:" + std::to_string(test_servers::faultPort());
    for (const auto& shape : shapes) shape.call(url, proxy);
    constexpr int kTries = 3;
    for (const auto& shape : shapes) {
        std::vector<long> changes;
        for (int i = 0; i < kTries && (changes.empty() || changes.back() != 0); ++i) {
            const size_t before = settledHeapBlocks();
            shape.call(url, proxy);
            changes.push_back(static_cast<long>(settledHeapBlocks()) - static_cast<long>(before));
        }
        EXPECT_EQ(changes.back(), 0) << shape.name << ": " << ::testing::PrintToString(changes);
    }
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

namespace {

std::string narrow(BSTR text) {
    if (!text) return "";
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string describe(const VARIANT& v) {
    switch (v.vt) {
        case VT_BSTR: return "\"" + narrow(v.bstrVal) + "\"";
        case VT_BOOL: return v.boolVal ? "true" : "false";
        case VT_I4: return std::to_string(v.lVal);
        case VT_EMPTY: return "empty";
        default: return "vt" + std::to_string(v.vt);
    }
}

// The arguments rgvarg[last..first] (they come last first), joined.
std::string joined(const DISPPARAMS& params, UINT first, UINT last) {
    std::string out;
    for (UINT i = last + 1; i-- > first;) out += (out.empty() ? "" : ", ") + describe(params.rgvarg[i]);
    return out;
}

// Stands in for the request object: the runtime binds members through the
// real object's type information, and each Invoke is written down as
// "Method(args)", "Property[index] = value" or "Property" (a read) before
// the real object carries it out, so the request really happens.
class RecordingRequest final : public IDispatch {
public:
    explicit RecordingRequest(IDispatch* real) : real_(real) {}  // takes over the reference
    ~RecordingRequest() { real_->Release(); }
    RecordingRequest(const RecordingRequest&) = delete;
    RecordingRequest& operator=(const RecordingRequest&) = delete;

    const std::vector<std::string>& operations() const { return operations_; }
    ULONG references() const { return references_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    // Lives on the test's stack: the count only tells whether the callee
    // gave back what it took.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return real_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return real_->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        return real_->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
        const std::string entry = describe(id, flags, *params);
        record(entry);
        if (isPoll(entry) && waitedTooLong()) return E_FAIL;
        return real_->Invoke(id, iid, lcid, flags, params, result, exception, argumentError);
    }

private:
    std::string memberName(DISPID id) {
        std::string name = "#" + std::to_string(id);
        ITypeInfo* info = nullptr;
        if (FAILED(real_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) || !info) return name;
        BSTR found = nullptr;
        UINT count = 0;
        if (SUCCEEDED(info->GetNames(id, &found, 1, &count)) && count == 1) name = narrow(found);
        SysFreeString(found);
        info->Release();
        return name;
    }

    std::string describe(DISPID id, WORD flags, const DISPPARAMS& params) {
        std::string entry = memberName(id);
        const UINT count = params.cArgs;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            // The value is rgvarg[0]; the indexes come before it.
            entry += count > 1 ? "[" + joined(params, 1, count - 1) + "]" : "";
            entry += count > 0 ? " = " + ::describe(params.rgvarg[0]) : "";
        } else if (flags & DISPATCH_METHOD) {
            entry += "(" + (count ? joined(params, 0, count - 1) : "") + ")";
        }
        return entry;
    }

    static bool isPoll(const std::string& entry) { return entry.rfind("WaitForResponse(", 0) == 0; }

    // How often the answer is polled for depends on the server's speed.
    void record(const std::string& entry) {
        if (isPoll(entry) && !operations_.empty() && operations_.back() == entry) return;
        operations_.push_back(entry);
    }

    // Under Wine an answer now and then never comes, and a call that keeps
    // the object's own time-outs would then poll for ever: after this long
    // the poll fails, and so does the test, with what was recorded.
    bool waitedTooLong() {
        constexpr DWORD kLongestWaitMs = 20000;
        if (!polling_) pollStart_ = GetTickCount();
        polling_ = true;
        return GetTickCount() - pollStart_ > kLongestWaitMs;
    }

    IDispatch* real_;
    ULONG references_ = 1;
    bool polling_ = false;
    DWORD pollStart_ = 0;
    std::vector<std::string> operations_;
};

IDispatch* newSystemRequestObject() {
    CLSID id{};
    IDispatch* object = nullptr;
    if (SUCCEEDED(CLSIDFromProgID(L"WinHttp.WinHttpRequest.5.1", &id)))
        CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object));
    return object;
}

}  // namespace

// What the call does to a given request object, in order and with its
// arguments, for a few shapes of request; the object then still has only
// the caller's reference.
TEST_F(HttpRequest, OperationsOnTheRequestObjectInOrder) {
    const std::string url = faultUrl("/echo/ops");
    const std::string proxyAddress = "127.0.0.1:" + std::to_string(test_servers::faultPort());
    const std::string quotedUrl = "\"" + url + "\"";
    constexpr int32_t kSslErrorIgnoreFlags = 4, kEnableRedirects = 6;  // option indexes
    const std::string ignoreCertificateErrors = "Option[" + std::to_string(kSslErrorIgnoreFlags) + "] = " +
                                                std::to_string(0x3300);  // every kind of certificate error
    auto timeouts = [](int32_t ms) {
        const std::string each = std::to_string(ms);
        return "SetTimeouts(" + each + ", " + each + ", " + each + ", " + each + ")";
    };
    using Call = void (*)(const std::string& url, const std::string& proxy, rt::ComObjectBlock** object);
    struct Shape {
        const char* name;
        Call call;
        std::vector<std::string> operations;
    };
    const std::vector<std::string> response = {"Send(\"\")", "WaitForResponse(1)", "ResponseBody",
                                               "GetAllResponseHeaders()", "Status", "StatusText"};
    auto with = [&](std::vector<std::string> head) {
        head.insert(head.end(), response.begin(), response.end());
        return head;
    };
    const Shape shapes[] = {
        {"every optional left out",
         [](const std::string& url, const std::string&, rt::ComObjectBlock** object) {
             TextVar u(url);
             takeBytes(httpRequest(&u, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, object));
         },
         with({timeouts(15000), "Open(\"GET\", " + quotedUrl + ", true)", ignoreCertificateErrors,
               "SetRequestHeader(\"Accept\", \"*/*\")", "SetRequestHeader(\"Referer\", " + quotedUrl + ")",
               "SetRequestHeader(\"Accept-Language\", \"zh-cn\")",
               "SetRequestHeader(\"User-Agent\", \"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\")"})},
        {"own time-outs kept, no redirects, credentials for the server, an empty cookie text, headers as given",
         [](const std::string& url, const std::string& proxy, rt::ComObjectBlock** object) {
             TextVar u(url), cookies(""), extra("x-one: 1"), p(proxy), user("who"), password("pw");
             takeBytes(httpRequest(&u, 1, {}, &cookies, {}, &extra, {}, {}, 1, {}, &p, -1, &user, &password, 0,
                                   object, {}, 0, 0));
         },
         with({"SetProxy(2, \"" + proxyAddress + "\")", "Open(\"POST\", " + quotedUrl + ", true)",
               "Option[" + std::to_string(kEnableRedirects) + "] = false", ignoreCertificateErrors,
               "SetCredentials(\"who\", \"pw\", 0)",
               "SetRequestHeader(\"Cookie\", \"\")", "SetRequestHeader(\"x-one\", \"1\")"})},
        {"time-out in seconds, through a proxy with a user for it",
         [](const std::string& url, const std::string& proxy, rt::ComObjectBlock** object) {
             TextVar u(url), p(proxy), user("user"), password("pa:ss");
             takeBytes(httpRequest(&u, {}, {}, {}, {}, {}, {}, {}, {}, {}, &p, 30, &user, &password, {}, object, {},
                                   0));
         },
         with({timeouts(30000), "SetProxy(2, \"" + proxyAddress + "\")", "Open(\"GET\", " + quotedUrl + ", true)",
               ignoreCertificateErrors,
               "SetCredentials(\"user\", \"pa:ss\", 1)",
               "SetRequestHeader(\"Proxy-Authorization\", \"Basic dXNlcjpwYTpzcw==\")",
               "SetRequestHeader(\"\", \"\")"})},  // a header text without CR LF is one line, even when empty
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        IDispatch* real = newSystemRequestObject();
        ASSERT_NE(real, nullptr);
        RecordingRequest recorder(real);
        rt::ComObjectBlock block{&recorder, 0};
        rt::ComObjectBlock* object = &block;
        shape.call(url, proxyAddress, &object);
        EXPECT_EQ(recorder.operations(), shape.operations);
        EXPECT_EQ(recorder.references(), 1u);
    }
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
        ThreadRun run{faultUrl(path), {}, E_FAIL};
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
