// The texts the progress window shows, from the progress record's values.
// Each is a new runtime text the caller owns.
#pragma once

#include <cstdint>

#include "runtime/commands/commands.h"

namespace app {

// `bytes` in megabytes, rounded to two places: "1.5", "48".
rt::cmd::OwnedText megabytesText(int64_t bytes);

// The status line: "总大小：<total>MB  已下载：<downloaded>MB".
rt::cmd::OwnedText sizesText(int64_t totalBytes, int64_t downloadedBytes);

// The bar's text: "<percent>%  速度：<speed>KB/S", the speed in KiB per
// second to one place, from the bytes and milliseconds of this run.
rt::cmd::OwnedText barText(int32_t percent, int64_t receivedBytes, int32_t elapsedMs);

}  // namespace app
