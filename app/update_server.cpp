// Compiled once per program: the base URL is a build setting of each one.
#include "app/constants.h"

namespace app {
const char kUpdateBaseUrl[] = PELMORA_UPDATE_BASE_URL;
}
