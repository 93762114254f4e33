// One synchronous HTTP request through the system's HTTP request object,
// with browser-like default headers, cookies, proxy and time-outs.
#pragma once

#include <cstdint>

#include "runtime/com/com_value.h"
#include "web/optional.h"

namespace web {

// Parameters after `url` are optional (value plus given-flag); by-reference
// ones are addresses of the caller's variables (texts and byte sets in the
// runtime heap, an object variable holding its block's address). The output
// parameters are written whether given or not; a text stored into a variable
// replaces (and frees) the one it held, and is the variable's owner's to
// free. Returns a new byte set with the response body (nullptr: empty):
// space obtained from rtAlloc; the caller frees it.
uint8_t* httpRequest(char** url,
                     Opt<int32_t> method = {},               // 0 GET 1 POST 2 HEAD 3 PUT 4 OPTIONS 5 DELETE 6 TRACE 7 CONNECT
                     Opt<char**> body = {},
                     Opt<char**> sendCookies = {},           // in and out
                     Opt<char**> receivedCookies = {},       // out
                     Opt<char**> extraHeaders = {},          // lines separated by CR LF
                     Opt<char**> responseHeaders = {},       // out
                     Opt<int32_t*> status = {},              // out
                     Opt<int32_t> noRedirect = {},
                     Opt<uint8_t**> byteBody = {},
                     Opt<char**> proxy = {},
                     Opt<int32_t> timeout = {},              // seconds; -1 keeps the object's own
                     Opt<char**> proxyUser = {},
                     Opt<char**> proxyPassword = {},
                     Opt<int32_t> credentialsFlag = {},      // default 1
                     Opt<rt::ComObjectBlock**> requestObject = {},
                     Opt<int32_t> mergeCookies = {},         // default true
                     Opt<int32_t> addDefaultHeaders = {},    // default true
                     Opt<int32_t> normalizeHeaderNames = {}); // default true

}  // namespace web
