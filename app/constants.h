// The application's literal texts. They live in the program's constant
// segment: variables may hold them directly, and the runtime's memory
// services never free or resize them in place.
#pragma once

namespace app {

extern const char kInstallDir[];          // "C:\Users\Administrator\Desktop\QRVN服务端"
extern const char kVersionFilePath[];     // "/pl/plmr/danpeizhib.txt"
extern const char kUpdaterDirPath[];      // "/pl/plmr/"
extern const char kTargetSuffix[];        // "/Pelmora更新.exe"
extern const char kStagingPrefix[];       // "Pelmora更新.exe."  (then the digest)
extern const char kStagingExtension[];    // ".part"
extern const char kLaunchSuffix[];        // "\Pelmora更新.exe"
extern const char kDigestKey[];           // "Pelmora更新.exe"
extern const char kRelativePathKey[];     // "lj"
extern const char kSignatureKey[];        // "sig" (read when the program has an update key)
extern const char kEncodedSlash[];        // "%2F"
extern const char kSlash[];               // "/"
extern const char kMessageTitle[];        // "提示信息"
extern const char kVerifyFailed[];        // "下载的文件校验失败"
extern const char kLocalFileFailed[];     // "不能打开本地文件"

extern const char kTotalItem[];           // "总大小："
extern const char kDownloadedItem[];      // "已下载："
extern const char kSpeedItem[];           // "速度："
extern const char kMegabytes[];           // "MB"
extern const char kSpeedUnit[];           // "KB/S"
extern const char kPercent[];             // "%"
extern const char kItemSeparator[];       // "  "
extern const char kCompletedBarText[];    // "100%  速度：0KB/S"
extern const char kCompletedFormat[];     // "总大小：%sMB  下载完毕，请稍后..."

// Bounds of the constant segment, for the program header.
const void* constantSegmentStart();
unsigned constantSegmentSize();

// The update server's base URL (build-time constant, no trailing slash).
extern const char kUpdateBaseUrl[];

}  // namespace app
