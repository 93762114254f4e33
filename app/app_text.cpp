#include "app/app_text.h"

#include <cstring>

#include "runtime/heap.h"

namespace app {

rt::cmd::OwnedText joinTexts(std::initializer_list<const char*> parts) {
    size_t length = 0;
    for (const char* part : parts) length += rt::textLength(part);
    if (length == 0) return nullptr;
    rt::cmd::OwnedText text(static_cast<char*>(rt::rtAlloc(static_cast<uint32_t>(length + 1))));
    char* out = text.get();
    for (const char* part : parts) {
        size_t n = rt::textLength(part);
        if (n) std::memcpy(out, part, n);
        out += n;
    }
    *out = 0;
    return text;
}

}  // namespace app
