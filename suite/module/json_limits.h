// Limits of the key-value table's JSON documents.
#pragma once

#include <cstddef>

namespace srvkit {

// The deepest nesting of objects and arrays a document may have. A deeper
// one is not loaded (it is taken as not being JSON): the table's own work on
// values (turning one into text, destroying it) goes as deep as the value,
// and a version file comes from the network.
constexpr size_t kMaxJsonDepth = 512;

}  // namespace srvkit
