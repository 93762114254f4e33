// Compiled once per program: the base URL and the update key are build
// settings of each one.
#include "app/constants.h"
#include "app/update_signature.h"

namespace app {

const char kUpdateBaseUrl[] = PELMORA_UPDATE_BASE_URL;

#ifdef PELMORA_UPDATE_PUBLIC_KEY_POINT
namespace {
const uint8_t kKeyPoint[kPublicKeyBytes] = {PELMORA_UPDATE_PUBLIC_KEY_POINT};
}
const uint8_t* const kUpdatePublicKey = kKeyPoint;
#else
const uint8_t* const kUpdatePublicKey = nullptr;
#endif

}  // namespace app
