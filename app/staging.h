// The download's staging file beside the updater, named after the digest it
// must match ("Pelmora更新.exe.<digest>.part"): an interrupted download is
// continued by a later run, and a file fetched for another version is never
// mistaken for this one's.
#pragma once

#include <cstdint>

namespace app {

// The staging path in `installDir` for `digest` (lowercased). A digest that
// isn't 32 hex digits can name no file: it gets the plain
// "Pelmora更新.exe.part". Runtime text; the caller owns it.
char* stagingPathFor(const char* installDir, const char* digest);

// Deletes the staging files in `installDir` except the one for `digest`:
// they belong to other versions and would never verify.
void deleteOtherStagingFiles(const char* installDir, const char* digest);

// The length of the file at `path`; 0 when there is none.
int64_t stagedLength(const char* path);

}  // namespace app
