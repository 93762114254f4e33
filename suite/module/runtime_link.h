// The module's link to the runtime that loaded it: the service-request
// function handed over at start-up, through which every text and byte set
// the module returns is allocated, so the caller owns and frees it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/data_cell.h"
#include "runtime/library_info.h"

namespace srvkit {

void installServiceRequest(rt::ServiceRequest request);

// Runtime-heap blocks; empty content gives 0 (the empty text / byte set).
char* runtimeText(std::string_view bytes);
uint8_t* runtimeByteSet(std::string_view bytes);

// Argument i of a frame, or an absent cell past the count.
const rt::DataCell& argument(int32_t count, const rt::DataCell* args, int32_t i);

// The bytes of a text or byte-set argument; nothing for other types.
bool bytesOf(const rt::DataCell& cell, std::string& out);
// A text or byte-set argument's bytes, empty for anything else.
std::string textOf(const rt::DataCell& cell);
// An integer-like argument (absent gives the fallback).
int64_t integerOf(const rt::DataCell& cell, int64_t fallback);
bool logicalOf(const rt::DataCell& cell, bool fallback);

}  // namespace srvkit
