#include "app/staging.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/app_text.h"
#include "app/constants.h"
#include "web/local_file.h"

namespace app {

namespace {

constexpr size_t kDigestLength = 32;

bool isHexDigest(const char* digest) {
    if (!digest || std::strlen(digest) != kDigestLength) return false;
    for (const char* at = digest; *at; ++at)
        if (!std::strchr("0123456789abcdefABCDEF", *at)) return false;
    return true;
}

// "Pelmora更新.exe.<digest>.part", or "Pelmora更新.exe.part" for a digest that can't name a file.
std::string stagingName(const char* digest) {
    std::string name = kStagingPrefix;
    if (isHexDigest(digest)) {
        for (const char* at = digest; *at; ++at)
            name += static_cast<char>(*at >= 'A' && *at <= 'F' ? *at - 'A' + 'a' : *at);
        name += kStagingExtension;
    } else {
        name += kStagingExtension + 1;  // the prefix ends with the dot already
    }
    return name;
}

bool endsWith(const std::string& text, const char* end) {
    const size_t n = std::strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

}  // namespace

char* stagingPathFor(const char* installDir, const char* digest) {
    return joinTexts({installDir, kSlash, stagingName(digest).c_str()}).release();
}

void deleteOtherStagingFiles(const char* installDir, const char* digest) {
    const std::string dir = std::string(installDir ? installDir : "") + "\\";
    const std::string keep = stagingName(digest);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + kStagingPrefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !endsWith(name, kStagingExtension)) continue;
        if (lstrcmpiA(name.c_str(), keep.c_str()) != 0) DeleteFileA((dir + name).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

int64_t stagedLength(const char* path) { return std::max<int64_t>(web::fileLength(path), 0); }

}  // namespace app
