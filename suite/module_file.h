// File operations of the module loader, on ANSI paths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace suite {

bool fileExists(const std::string& path);

// True when the file holds exactly these bytes.
bool fileHasContent(const std::string& path, const std::vector<uint8_t>& content);

// Writes beside the target under a temporary name and renames it into
// place, so a crash mid-write never leaves a truncated file under the
// final name. False when the file couldn't be written or placed.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& content);

}  // namespace suite
