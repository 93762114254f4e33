// The request sequence on the system's HTTP request object, in its fixed
// order, through the runtime's COM commands.
#include "web/http_request.h"

#include <cmath>
#include <string>
#include <vector>

#include "runtime/com/com_commands.h"
#include "runtime/com/com_value.h"
#include "runtime/dll_commands.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "web/cookies.h"
#include "web/header_text.h"
#include "web/runtime_text.h"
#include "web/text_codecs.h"

namespace web {

namespace {

const char* const kMethods[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int32_t kProxySettingProxy = 2;         // HTTPREQUEST_PROXYSETTING_PROXY
constexpr int32_t kOptionEnableRedirects = 6;     // WinHttpRequestOption_EnableRedirects
constexpr int32_t kOptionSslErrorIgnoreFlags = 4; // WinHttpRequestOption_SslErrorIgnoreFlags
constexpr int32_t kIgnoreCertificateErrors = 0x3300;
constexpr int64_t kDefaultTimeoutMs = 15000;
// The whole exchange may take this many of its per-step time-outs.
constexpr int64_t kStepsPerExchange = 2;
constexpr int32_t kResponsePollSeconds = 1;  // whole seconds: a fraction reads as 0

// The per-step time-out in milliseconds for the given seconds (0: the
// default), without overflowing 32 bits.
int32_t stepTimeoutMs(int32_t seconds) {
    int64_t ms = seconds > 0 ? int64_t{seconds} * 1000 : kDefaultTimeoutMs;
    return static_cast<int32_t>(ms < INT32_MAX ? ms : INT32_MAX);
}

// The whole exchange's bound in milliseconds; 0 (none) when no time-outs
// are set.
uint32_t exchangeDeadlineMs(int32_t seconds) {
    if (seconds == -1) return 0;
    int64_t ms = int64_t{stepTimeoutMs(seconds)} * kStepsPerExchange;
    return static_cast<uint32_t>(ms < UINT32_MAX - 1 ? ms : UINT32_MAX - 1);
}

rt::DataCell textCell(const char* text) { return rt::DataCell::ofText(text); }
rt::DataCell intCell(int32_t v) { return rt::DataCell::ofInt(v); }

// Member calls on one request object, made as the application's compiled
// code makes them: object cell, name cell, argument cells.
class RequestObject {
public:
    explicit RequestObject(rt::ComObjectBlock* block) : block_(block) {}

    void call(const char* name, std::vector<rt::DataCell> args) { run(rt::comCall, name, std::move(args)); }
    void setProperty(const char* name, std::vector<rt::DataCell> args) {
        run(rt::comSetProperty, name, std::move(args));
    }
    // A new text (nullptr when empty or on failure).
    char* text(const char* name) { return static_cast<char*>(run(rt::comGetText, name, {}).asPointer()); }
    double number(const char* name, std::vector<rt::DataCell> args = {}) {
        return run(rt::comGetNumber, name, std::move(args)).asDouble();
    }
    // The body as a byte set; the variant is cleared after conversion.
    uint8_t* bytes(const char* name) {
        rt::DataCell variant = run(rt::comGetVariant, name, {});
        rt::DataCell toBytes[] = {variant};
        uint8_t* out = rt::callCommand(rt::variantToBytes, 1, toBytes).asByteSet();
        rt::callCommand(rt::variantClear, 1, toBytes);
        rt::rtFree(variant.asPointer());
        return out;
    }

private:
    rt::DataCell run(rt::Command command, const char* name, std::vector<rt::DataCell> args) {
        args.insert(args.begin(), {rt::DataCell::ofPointer(block_, rt::kTypeComObject), textCell(name)});
        return rt::callCommand(command, static_cast<int32_t>(args.size()), args.data());
    }
    rt::ComObjectBlock* block_;
};

// Owns the call's object block and a byte-array variant for the body.
struct CallResources {
    rt::ComObjectBlock object{nullptr, 0};
    VARIANT* bodyVariant = nullptr;
    ~CallResources() {
        rt::DataCell objectCell = rt::DataCell::ofPointer(&object, rt::kTypeComObject);
        rt::callCommand(rt::comClear, 1, &objectCell);
        if (bodyVariant) {
            rt::DataCell v = rt::DataCell::ofPointer(bodyVariant, rt::kTypeVariant);
            rt::callCommand(rt::variantClear, 1, &v);
            rt::rtFree(bodyVariant);
        }
    }
};

bool obtainObject(CallResources& res, Opt<rt::ComObjectBlock**> requestObject) {
    if (requestObject.given && requestObject.value && *requestObject.value) {
        rt::DataCell args[] = {rt::DataCell::ofPointer(&res.object, rt::kTypeComObject),
                               rt::DataCell::ofPointer(*requestObject.value, rt::kTypeComObject)};
        rt::callCommand(rt::comAssign, 2, args);
    } else {
        rt::DataCell args[] = {rt::DataCell::ofPointer(&res.object, rt::kTypeComObject),
                               textCell("WinHttp.WinHttpRequest.5.1")};
        rt::callCommand(rt::comCreate, 2, args);
    }
    return res.object.unknown != nullptr;
}

// Waits for the answer to the send, polling so that the whole exchange can
// be bounded: the object's own time-outs are per step (a server that sends a
// byte now and then resets them forever), and a close waiting for the running
// handler ends the wait at once. On the deadline or a close the exchange is
// aborted, on this thread while no wait of the object runs. True when the
// response has come.
bool awaitResponse(RequestObject& request, DWORD startTick, uint32_t deadlineMs) {
    for (;;) {
        if (rt::RuntimeApp::instance().closePending()) break;
        // A poll that could end past the deadline is not begun.
        if (deadlineMs && GetTickCount() - startTick + kResponsePollSeconds * 1000u > deadlineMs) break;
        const bool arrived = request.number("WaitForResponse", {intCell(kResponsePollSeconds)}) != 0;
        if (rt::lastComResult() != rt::kComOk) return false;  // the send failed
        if (arrived) return true;
    }
    request.call("Abort", {});
    return false;
}

template <typename T>
T* slotOr(Opt<T*> parameter, T* fallback) {
    return (parameter.given && parameter.value) ? parameter.value : fallback;
}

const char* textIn(Opt<char**> parameter) {
    return (parameter.given && parameter.value) ? *parameter.value : nullptr;
}

}  // namespace

uint8_t* httpRequest(char** url, Opt<int32_t> method, Opt<char**> body, Opt<char**> sendCookies,
                     Opt<char**> receivedCookies, Opt<char**> extraHeaders, Opt<char**> responseHeaders,
                     Opt<int32_t*> status, Opt<int32_t> noRedirect, Opt<uint8_t**> byteBody, Opt<char**> proxy,
                     Opt<int32_t> timeout, Opt<char**> proxyUser, Opt<char**> proxyPassword,
                     Opt<int32_t> credentialsFlag, Opt<rt::ComObjectBlock**> requestObject,
                     Opt<int32_t> mergeCookies, Opt<int32_t> addDefaultHeaders, Opt<int32_t> normalizeHeaderNames) {
    const DWORD startTick = GetTickCount();
    rt::callDll<int32_t, rt::Stdcall>(rt::kDllCoInitialize, 0u);
    uint8_t* result = nullptr;
    {
        CallResources res;
        int32_t methodIndex = method.valueOr(0);
        const char* methodText = kMethods[(methodIndex < 0 || methodIndex > 7) ? 0 : methodIndex];
        if (obtainObject(res, requestObject)) {
            RequestObject request(&res.object);
            const char* urlText = url ? *url : nullptr;
            const char* proxyText = textIn(proxy);
            const char* userText = textIn(proxyUser);

            int32_t seconds = timeout.valueOr(0);
            if (seconds != -1) {
                int32_t ms = stepTimeoutMs(seconds);
                request.call("SetTimeouts", {intCell(ms), intCell(ms), intCell(ms), intCell(ms)});
            }
            if (proxyText && *proxyText) request.call("SetProxy", {intCell(kProxySettingProxy), textCell(proxyText)});
            // Sent asynchronously: only then can the wait for the answer be
            // bounded and a waiting close end it (see awaitResponse).
            request.call("Open", {textCell(methodText), textCell(urlText), rt::DataCell::ofBool(true)});
            if (noRedirect.valueOr(0))
                request.setProperty("Option", {intCell(kOptionEnableRedirects), rt::DataCell::ofBool(false)});
            request.setProperty("Option", {intCell(kOptionSslErrorIgnoreFlags), intCell(kIgnoreCertificateErrors)});

            std::string headers = text::of(textIn(extraHeaders));
            if (addDefaultHeaders.valueOr(1))
                headers = withDefaultHeaders(headers, text::of(urlText), methodIndex == 1);
            if (normalizeHeaderNames.valueOr(1)) headers = normalizeHeaderLines(headers);

            if (proxyText && *proxyText && userText && *userText) {
                const char* passwordText = textIn(proxyPassword);
                int32_t flag = credentialsFlag.valueOr(1);
                request.call("SetCredentials", {textCell(userText), textCell(passwordText), intCell(flag)});
                if (flag == 1) {
                    std::string pair = text::of(userText) + ":" + text::of(passwordText);
                    uint8_t* bytes = rt::makeByteSet(pair.data(), pair.size());
                    char* encoded = base64Encode(bytes);
                    std::string value = "Basic " + text::of(encoded);
                    rt::rtFree(bytes);
                    rt::rtFree(encoded);
                    request.call("SetRequestHeader", {textCell("Proxy-Authorization"), textCell(value.c_str())});
                }
            }

            if (sendCookies.given && sendCookies.value) {
                prepareCookieHeader(sendCookies.value);
                request.call("SetRequestHeader", {textCell("Cookie"), textCell(*sendCookies.value)});
            }

            for (const HeaderLine& line : headerLinesToSend(headers))
                request.call("SetRequestHeader", {textCell(line.name.c_str()), textCell(line.value.c_str())});

            uint8_t* bytesToSend = (byteBody.given && byteBody.value) ? *byteBody.value : nullptr;
            if (rt::byteSetLength(bytesToSend) > 0) {
                res.bodyVariant = static_cast<VARIANT*>(rt::rtAlloc(sizeof(VARIANT)));
                VariantInit(res.bodyVariant);
                rt::DataCell setArgs[] = {rt::DataCell::ofPointer(res.bodyVariant, rt::kTypeVariant),
                                          rt::DataCell::ofByteSet(bytesToSend)};
                rt::callCommand(rt::variantSet, 2, setArgs);
                request.call("Send", {rt::DataCell::ofPointer(res.bodyVariant, rt::kTypeVariant)});
            } else {
                request.call("Send", {textCell(textIn(body))});
            }

            // After a failed or aborted send the object has no response to
            // give (reading one may even crash it): empty body and headers,
            // status 0.
            const bool sent =
                rt::lastComResult() == rt::kComOk && awaitResponse(request, startTick, exchangeDeadlineMs(seconds));
            char* headerBlock = nullptr;
            int32_t statusCode = 0;
            if (sent) {
                result = request.bytes("ResponseBody");
                headerBlock = request.text("GetAllResponseHeaders");
                statusCode = static_cast<int32_t>(std::trunc(request.number("Status")));
                rt::rtFree(request.text("StatusText"));
            }
            char* localHeaders = nullptr;
            char** headersSlot = slotOr(responseHeaders, &localHeaders);
            rt::rtFree(*headersSlot);
            *headersSlot = headerBlock;
            int32_t localStatus = 0;
            *slotOr(status, &localStatus) = statusCode;

            char* localReceived = nullptr;
            char** receivedSlot = slotOr(receivedCookies, &localReceived);
            collectSetCookies(*headersSlot, receivedSlot);
            if (mergeCookies.valueOr(1) && sendCookies.given && sendCookies.value)
                mergeCookieTexts(sendCookies.value, receivedSlot);
            rt::rtFree(localReceived);
            rt::rtFree(localHeaders);
        }
    }
    rt::callDll<int32_t, rt::Stdcall>(rt::kDllCoUninitialize);
    // The caller's copy; the working byte set goes with the call.
    uint8_t* copy = result ? rt::makeByteSet(rt::byteSetData(result), rt::byteSetLength(result)) : nullptr;
    rt::rtFree(result);
    return copy;
}

}  // namespace web
