// The suite module carried in the program: the resource "SRVKIT_IDR_DLL" of
// type "DLL" and its LZMA decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace suite {

// Layout: u32 property length P, P property bytes, u32 unpacked size, raw
// LZMA1 stream. Bytes that don't have that layout, or don't decode, are
// the image as they are; no bytes give an empty image.
std::vector<uint8_t> decodeModuleResource(const uint8_t* data, size_t size);

// The decoded image from the program's resources; nothing when the program
// carries no such resource.
std::optional<std::vector<uint8_t>> embeddedModuleImage();

}  // namespace suite
