// The cookie text a client carries from request to request: items
// name=value separated by "; ", newer values replacing older ones. The
// functions on the caller's text variables store a new runtime text (space
// obtained from rtAlloc; the variable's owner frees it) and free the old.
#pragma once

#include <string>
#include <string_view>

namespace web {

// Removes every "Cookie:" (any case) from a non-empty *sendCookies,
// storing the result back; the caller sends *sendCookies as is.
void prepareCookieHeader(char** sendCookies);

// The cookies the response header block sets (name=value items).
std::string collectSetCookies(std::string_view responseHeaders);
void collectSetCookies(const char* responseHeaders, char** receivedCookies);

// Newer cookies first, then the older ones the response didn't mention;
// deleted items ("=deleted") and repeated items are dropped.
std::string mergeCookieTexts(std::string_view older, std::string_view newer);
// Both variables receive the merged text.
void mergeCookieTexts(char** sendCookies, char** receivedCookies);

std::string cookieName(std::string_view item);

}  // namespace web
