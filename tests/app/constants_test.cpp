// The application's literal texts must lie in its constant segment: the
// program frees variables that may hold them, which is harmless only there.
#include <gtest/gtest.h>

#include "app/constants.h"
#include "runtime/heap.h"

#include <cstring>
#include <string>

namespace {

struct SegmentScope {
    SegmentScope() { rt::setConstantSegment(app::constantSegmentStart(), app::constantSegmentSize()); }
    ~SegmentScope() { rt::clearConstantSegment(); }
};

}  // namespace

TEST(AppConstants, EveryLiteralLiesInTheConstantSegment) {
    SegmentScope scope;
    const char* const literals[] = {
        app::kInstallDir,    app::kVersionFilePath, app::kUpdaterDirPath,    app::kTargetSuffix,
        app::kStagingPrefix, app::kStagingExtension, app::kLaunchSuffix,    app::kDigestKey,         app::kRelativePathKey, app::kSignatureKey,
        app::kEncodedSlash,  app::kSlash,           app::kMessageTitle,      app::kVerifyFailed,
        app::kLocalFileFailed, app::kTotalItem,     app::kDownloadedItem,    app::kSpeedItem,
        app::kMegabytes,     app::kSpeedUnit,       app::kPercent,           app::kItemSeparator,
        app::kCompletedBarText, app::kCompletedFormat,
    };
    EXPECT_GT(app::constantSegmentSize(), 0u);
    for (const char* literal : literals) {
        EXPECT_NE(rt::constantSegmentEndFor(literal), nullptr) << literal;
        EXPECT_NE(rt::constantSegmentEndFor(literal + std::strlen(literal)), nullptr) << literal;
    }
    // And freeing one is a no-op rather than a heap operation.
    rt::rtFree(const_cast<char*>(app::kInstallDir));
    EXPECT_EQ(std::string(app::kDigestKey), "Pelmora更新.exe");
}
