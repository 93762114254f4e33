// The request sequence on the system's HTTP request object, in its fixed
// order, through the runtime's COM commands.
#include "web/http_request.h"

#include <cmath>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/com/com_commands.h"
#include "runtime/com/com_value.h"
#include "runtime/commands/commands.h"
#include "runtime/dll_commands.h"
#include "runtime/heap.h"
#include "runtime/runtime_app.h"
#include "web/cookies.h"
#include "web/header_text.h"
#include "web/runtime_text.h"
#include "web/text_codecs.h"

namespace web {

namespace {

using rt::cmd::OwnedBytes;
using rt::cmd::OwnedText;

const char* const kMethods[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int32_t kMethodPost = 1;                  // index of "POST"
constexpr int32_t kKeepObjectTimeouts = -1;         // the time-out that sets none
constexpr int32_t kCredentialsWithBasicHeader = 1;  // the flag that also sets Proxy-Authorization
constexpr int32_t kProxySettingProxy = 2;           // HTTPREQUEST_PROXYSETTING_PROXY
constexpr int32_t kOptionEnableRedirects = 6;       // WinHttpRequestOption_EnableRedirects
constexpr int32_t kOptionSslErrorIgnoreFlags = 4;   // WinHttpRequestOption_SslErrorIgnoreFlags
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
    if (seconds == kKeepObjectTimeouts) return 0;
    int64_t ms = int64_t{stepTimeoutMs(seconds)} * kStepsPerExchange;
    return static_cast<uint32_t>(ms < UINT32_MAX - 1 ? ms : UINT32_MAX - 1);
}

// The method text of an index; one outside the table is "GET".
const char* methodText(int32_t index) {
    const bool known = index >= 0 && index < static_cast<int32_t>(std::size(kMethods));
    return kMethods[known ? index : 0];
}

rt::DataCell textCell(const char* text) { return rt::DataCell::ofText(text); }
rt::DataCell intCell(int32_t v) { return rt::DataCell::ofInt(v); }

// A variant in a runtime-heap block: cleared through the runtime's
// command, then freed, when dropped.
struct ClearAndFree {
    void operator()(VARIANT* variant) const {
        rt::DataCell cell = rt::DataCell::ofPointer(variant, rt::kTypeVariant);
        rt::callCommand(rt::variantClear, 1, &cell);
        rt::cmd::RuntimeFree{}(variant);
    }
};
using OwnedVariant = std::unique_ptr<VARIANT, ClearAndFree>;

// Member calls on one request object, made as the application's compiled
// code makes them: object cell, name cell, argument cells.
class RequestObject {
public:
    explicit RequestObject(rt::ComObjectBlock* block) : block_(block) {}

    void call(const char* name, std::vector<rt::DataCell> args) { run(rt::comCall, name, std::move(args)); }
    void setProperty(const char* name, std::vector<rt::DataCell> args) {
        run(rt::comSetProperty, name, std::move(args));
    }
    // A new text (empty when empty or on failure).
    OwnedText text(const char* name) {
        return OwnedText(static_cast<char*>(run(rt::comGetText, name, {}).asPointer()));
    }
    double number(const char* name, std::vector<rt::DataCell> args = {}) {
        return run(rt::comGetNumber, name, std::move(args)).asDouble();
    }
    // The body as a byte set; the variant is cleared after conversion.
    OwnedBytes bytes(const char* name) {
        const OwnedVariant variant(static_cast<VARIANT*>(run(rt::comGetVariant, name, {}).asPointer()));
        rt::DataCell toBytes[] = {rt::DataCell::ofPointer(variant.get(), rt::kTypeVariant)};
        return OwnedBytes(rt::callCommand(rt::variantToBytes, 1, toBytes).asByteSet());
    }

private:
    rt::DataCell run(rt::Command command, const char* name, std::vector<rt::DataCell> args) {
        args.insert(args.begin(), {rt::DataCell::ofPointer(block_, rt::kTypeComObject), textCell(name)});
        return rt::callCommand(command, static_cast<int32_t>(args.size()), args.data());
    }
    rt::ComObjectBlock* block_;
};

// What the call holds on the object's side: its reference to the request
// object, and the byte-array variant of a byte body, which must outlive
// "Send" (the send runs on after it returns). The object is let go first,
// the variant after it (members go after this destructor's body).
struct CallResources {
    rt::ComObjectBlock object{nullptr, 0};
    OwnedVariant bodyVariant;
    ~CallResources() {
        rt::DataCell objectCell = rt::DataCell::ofPointer(&object, rt::kTypeComObject);
        rt::callCommand(rt::comClear, 1, &objectCell);
    }
};

// The call's reference to the caller's request object when one is given,
// else a new object from the ProgID. False when there is none.
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

// What the caller's variable holds; nullptr when the parameter was not given.
template <typename T>
T* heldIn(Opt<T**> parameter) {
    return (parameter.given && parameter.value) ? *parameter.value : nullptr;
}

// The caller's text variable when given, else one of the call's own that is
// freed with it: the outputs are written either way.
class TextSlot {
public:
    explicit TextSlot(Opt<char**> parameter) : slot_(slotOr(parameter, &own_)) {}
    ~TextSlot() { rt::rtFree(own_); }
    TextSlot(const TextSlot&) = delete;
    TextSlot& operator=(const TextSlot&) = delete;
    char** get() const { return slot_; }

private:
    char* own_ = nullptr;
    char** slot_;
};

// Time-outs (unless the object keeps its own), proxy, "Open" and the two
// options, in the object's order.
void openRequest(RequestObject& request, const char* method, const char* url, const char* proxy, int32_t seconds,
                 bool noRedirect) {
    if (seconds != kKeepObjectTimeouts) {
        const int32_t ms = stepTimeoutMs(seconds);
        request.call("SetTimeouts", {intCell(ms), intCell(ms), intCell(ms), intCell(ms)});
    }
    if (proxy && *proxy) request.call("SetProxy", {intCell(kProxySettingProxy), textCell(proxy)});
    // Sent asynchronously: only then can the wait for the answer be
    // bounded and a waiting close end it (see awaitResponse).
    request.call("Open", {textCell(method), textCell(url), rt::DataCell::ofBool(true)});
    if (noRedirect) request.setProperty("Option", {intCell(kOptionEnableRedirects), rt::DataCell::ofBool(false)});
    request.setProperty("Option", {intCell(kOptionSslErrorIgnoreFlags), intCell(kIgnoreCertificateErrors)});
}

// The header text to send: the caller's lines, the browser defaults filled
// in and the names capitalised when asked.
std::string requestHeaderText(const char* extraHeaders, const char* url, bool post, bool addDefaults,
                              bool normalizeNames) {
    std::string headers = text::of(extraHeaders);
    if (addDefaults) headers = withDefaultHeaders(headers, text::of(url), post);
    if (normalizeNames) headers = normalizeHeaderLines(headers);
    return headers;
}

// "Basic " and the Base64 form of the bytes of user, ":" and password.
std::string basicAuthorization(const char* user, const char* password) {
    const std::string pair = text::of(user) + ":" + text::of(password);
    const OwnedBytes bytes(rt::makeByteSet(pair.data(), pair.size()));
    return "Basic " + text::of(OwnedText(base64Encode(bytes.get())));
}

// The credentials, for a proxy with a user only; flag 1 also sets the basic
// authorisation header itself.
void setProxyCredentials(RequestObject& request, const char* proxy, const char* user, const char* password,
                         int32_t flag) {
    if (!proxy || !*proxy || !user || !*user) return;
    request.call("SetCredentials", {textCell(user), textCell(password), intCell(flag)});
    if (flag != kCredentialsWithBasicHeader) return;
    const std::string value = basicAuthorization(user, password);
    request.call("SetRequestHeader", {textCell("Proxy-Authorization"), textCell(value.c_str())});
}

// The Cookie header from the caller's cookie text (prefix removed, stored
// back), when given; even an empty text is sent.
void setCookieHeader(RequestObject& request, Opt<char**> sendCookies) {
    if (!sendCookies.given || !sendCookies.value) return;
    prepareCookieHeader(sendCookies.value);
    request.call("SetRequestHeader", {textCell("Cookie"), textCell(*sendCookies.value)});
}

// One "SetRequestHeader" call for each line of the header text to send.
void setHeaderLines(RequestObject& request, const std::string& headers) {
    for (const HeaderLine& line : headerLinesToSend(headers))
        request.call("SetRequestHeader", {textCell(line.name.c_str()), textCell(line.value.c_str())});
}

// A byte-array variant holding the bytes of a byte set.
OwnedVariant byteArrayVariant(const uint8_t* byteSet) {
    OwnedVariant variant(static_cast<VARIANT*>(rt::rtAlloc(sizeof(VARIANT))));
    VariantInit(variant.get());
    rt::DataCell setArgs[] = {rt::DataCell::ofPointer(variant.get(), rt::kTypeVariant),
                              rt::DataCell::ofByteSet(byteSet)};
    rt::callCommand(rt::variantSet, 2, setArgs);
    return variant;
}

// "Send" with the byte body when it is not empty (its variant stays in
// `call`), else with the text body.
void send(RequestObject& request, CallResources& call, const uint8_t* byteBody, const char* textBody) {
    if (rt::byteSetLength(byteBody) == 0) {
        request.call("Send", {textCell(textBody)});
        return;
    }
    call.bodyVariant = byteArrayVariant(byteBody);
    request.call("Send", {rt::DataCell::ofPointer(call.bodyVariant.get(), rt::kTypeVariant)});
}

// What the object answered; empty, with status 0, when it gave no answer.
struct Response {
    OwnedBytes body;
    OwnedText headers;
    int32_t status = 0;
};

// The answer to the send just made, read in the object's order ("StatusText"
// is read and dropped). After a failed or aborted send the object has no
// response to give (reading one may even crash it): nothing is read.
Response receive(RequestObject& request, DWORD startTick, uint32_t deadlineMs) {
    Response response;
    if (rt::lastComResult() != rt::kComOk || !awaitResponse(request, startTick, deadlineMs)) return response;
    response.body = request.bytes("ResponseBody");
    response.headers = request.text("GetAllResponseHeaders");
    response.status = static_cast<int32_t>(std::trunc(request.number("Status")));
    request.text("StatusText");
    return response;
}

// The header block and status into the caller's variables (or the call's
// own), then the cookies it sets into receivedCookies, merged into a given
// sendCookies when asked. The texts stored are the variables' owners' to free.
void storeOutputs(Response& response, Opt<char**> responseHeaders, Opt<int32_t*> status,
                  Opt<char**> receivedCookies, Opt<char**> sendCookies, bool merge) {
    const TextSlot headers(responseHeaders);
    text::store(headers.get(), std::move(response.headers));
    int32_t localStatus = 0;
    *slotOr(status, &localStatus) = response.status;
    const TextSlot received(receivedCookies);
    collectSetCookies(*headers.get(), received.get());
    if (merge && sendCookies.given && sendCookies.value) mergeCookieTexts(sendCookies.value, received.get());
}

// A new byte set with the same bytes (space obtained from rtAlloc; caller
// frees); nullptr (empty) stays nullptr.
uint8_t* copyOf(const uint8_t* byteSet) {
    return byteSet ? rt::makeByteSet(rt::byteSetData(byteSet), rt::byteSetLength(byteSet)) : nullptr;
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
    OwnedBytes responseBody;
    {
        CallResources call;
        if (obtainObject(call, requestObject)) {
            RequestObject request(&call.object);
            const int32_t methodIndex = method.valueOr(0);
            const char* urlText = url ? *url : nullptr;
            const char* proxyText = heldIn(proxy);
            const int32_t seconds = timeout.valueOr(0);
            openRequest(request, methodText(methodIndex), urlText, proxyText, seconds, noRedirect.valueOr(0) != 0);
            const std::string headers =
                requestHeaderText(heldIn(extraHeaders), urlText, methodIndex == kMethodPost,
                                  addDefaultHeaders.valueOr(1) != 0, normalizeHeaderNames.valueOr(1) != 0);
            setProxyCredentials(request, proxyText, heldIn(proxyUser), heldIn(proxyPassword),
                                credentialsFlag.valueOr(kCredentialsWithBasicHeader));
            setCookieHeader(request, sendCookies);
            setHeaderLines(request, headers);
            send(request, call, heldIn(byteBody), heldIn(body));
            Response response = receive(request, startTick, exchangeDeadlineMs(seconds));
            storeOutputs(response, responseHeaders, status, receivedCookies, sendCookies, mergeCookies.valueOr(1) != 0);
            responseBody = std::move(response.body);
        }
    }
    rt::callDll<int32_t, rt::Stdcall>(rt::kDllCoUninitialize);
    // The caller's copy; the working byte set goes with the call.
    return copyOf(responseBody.get());
}

}  // namespace web
