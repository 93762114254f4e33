// Joining texts for the application: the result is a new runtime text (the
// caller owns it), the parts stay the caller's. Null parts are empty texts.
#pragma once

#include <initializer_list>

namespace app {

char* joinTexts(std::initializer_list<const char*> parts);

}  // namespace app
