#include "app/progress_text.h"

#include "app/app_text.h"
#include "app/constants.h"

namespace app {

namespace cmd = rt::cmd;
using cmd::OwnedText;

namespace {

constexpr double kBytesPerMegabyte = 1048576.0;
constexpr double kBytesPerKilobyte = 1024.0;
constexpr double kMsPerSecond = 1000.0;

}  // namespace

OwnedText megabytesText(int64_t bytes) { return cmd::toText(cmd::roundTo(bytes / kBytesPerMegabyte, 2)); }

OwnedText sizesText(int64_t totalBytes, int64_t downloadedBytes) {
    OwnedText total = megabytesText(totalBytes), downloaded = megabytesText(downloadedBytes);
    return joinTexts(
        {kTotalItem, total.get(), kMegabytes, kItemSeparator, kDownloadedItem, downloaded.get(), kMegabytes});
}

OwnedText barText(int32_t percent, int64_t receivedBytes, int32_t elapsedMs) {
    const double perSecond = static_cast<double>(receivedBytes) * kMsPerSecond / kBytesPerKilobyte / elapsedMs;
    OwnedText speed = cmd::toText(cmd::roundTo(perSecond, 1));
    OwnedText percentText = cmd::toText(percent);
    return joinTexts({percentText.get(), kPercent, kItemSeparator, kSpeedItem, speed.get(), kSpeedUnit});
}

}  // namespace app
