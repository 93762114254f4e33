// An optional parameter of the application's routines: the value and a
// given-flag, non-zero when the caller supplied it. For by-reference
// parameters the value is the address of the caller's variable.
#pragma once

#include <cstdint>

namespace web {

template <typename T>
struct Opt {
    T value{};
    int32_t given = 0;

    Opt() = default;
    Opt(T v) : value(v), given(1) {}  // NOLINT: a supplied argument reads naturally at the call site
    bool isGiven() const { return given != 0; }
    // The value, or `fallback` when the caller left it out.
    T valueOr(T fallback) const { return given ? value : fallback; }
};

}  // namespace web
