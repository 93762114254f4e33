// Joining texts for the application: the result is a new runtime text the
// caller owns (empty: null), the parts stay the caller's. Null parts are
// empty texts.
#pragma once

#include <initializer_list>

#include "runtime/commands/commands.h"

namespace app {

rt::cmd::OwnedText joinTexts(std::initializer_list<const char*> parts);

// A text variable handed by reference to a command that replaces its text
// (freeing the old one); whatever it holds at the end is freed with it.
struct TextVariable {
    char* text = nullptr;
    TextVariable() = default;
    TextVariable(const TextVariable&) = delete;
    TextVariable& operator=(const TextVariable&) = delete;
    ~TextVariable() { rt::rtFree(text); }
};

}  // namespace app
