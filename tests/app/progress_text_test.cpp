// The progress window's texts: sizes in megabytes of 2^20 bytes, the speed
// in KiB per second from this run's bytes and milliseconds.
#include <gtest/gtest.h>

#include <string>

#include "app/progress_text.h"

namespace {

std::string str(const rt::cmd::OwnedText& text) { return text ? text.get() : ""; }

}  // namespace

TEST(ProgressText, SizesAndSpeedReadAsTheWindowShowsThem) {
    const struct {
        int32_t percent;
        int64_t received;
        int32_t elapsedMs;
        const char* bar;
    } bars[] = {
        {37, 1024000, 1000, "37%  速度：1000KB/S"},
        {5, 1536, 1000, "5%  速度：1.5KB/S"},
        {99, 100000, 3000, "99%  速度：32.6KB/S"},
    };
    for (const auto& row : bars) EXPECT_EQ(str(app::barText(row.percent, row.received, row.elapsedMs)), row.bar);

    EXPECT_EQ(str(app::sizesText(50331648, 1572864)), "总大小：48MB  已下载：1.5MB");
    EXPECT_EQ(str(app::sizesText(3000000, 1234567)), "总大小：2.86MB  已下载：1.18MB");
}
