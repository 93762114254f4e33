// The one boundary through which every error leaves runtime code for its
// caller: commands, window procedures, event handlers, thread routines, DLL
// exports, library notifications and exit handlers all run inside it, so no
// exception crosses an interface. An allocation failure becomes the runtime
// error "分配 %d 字节内存失败!" (the program ends with -1); any other
// exception becomes the caller's documented fallback result.
#pragma once

#include <cstdint>
#include <new>
#include <type_traits>

namespace rt {

// The size of the allocation that failed last on this thread (recorded by
// the program's operator new), 0 when none did.
uint32_t failedAllocationSize();

// Shows the allocation failure box and ends the program; never returns.
[[noreturn]] void reportAllocationFailure(uint32_t size);

// Runs `body`; returns its result, or `fallback` when it threw anything but
// an allocation failure.
template <typename Fallback, typename Body>
auto protectedCall(Fallback fallback, Body&& body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        reportAllocationFailure(failedAllocationSize());
    } catch (...) {
        if constexpr (!std::is_void_v<decltype(body())>) return fallback;
    }
}

// For bodies without a result: true when it ran to its end.
template <typename Body>
bool protectedRun(Body&& body) noexcept {
    return protectedCall(false, [&] {
        body();
        return true;
    });
}

}  // namespace rt
