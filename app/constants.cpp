#include "app/constants.h"

// The linker sorts ".rdata$<suffix>" sections by suffix into .rdata, so the
// two markers bracket exactly the texts placed between them.
#define APP_CONST(suffix) __attribute__((section(".rdata$pelmora_" #suffix)))

namespace app {

namespace {
APP_CONST(a) const char kSegmentStart[1] = {0};
APP_CONST(z) const char kSegmentEnd[1] = {0};
}  // namespace

APP_CONST(m) const char kInstallDir[] = "C:\\Users\\Administrator\\Desktop\\QRVN服务端";
APP_CONST(m) const char kVersionFilePath[] = "/pl/plmr/danpeizhib.txt";
APP_CONST(m) const char kUpdaterDirPath[] = "/pl/plmr/";
APP_CONST(m) const char kTargetSuffix[] = "/Pelmora更新.exe";
APP_CONST(m) const char kStagingPrefix[] = "Pelmora更新.exe.";
APP_CONST(m) const char kStagingExtension[] = ".part";
APP_CONST(m) const char kLaunchSuffix[] = "\\Pelmora更新.exe";
APP_CONST(m) const char kDigestKey[] = "Pelmora更新.exe";
APP_CONST(m) const char kRelativePathKey[] = "lj";
APP_CONST(m) const char kSignatureKey[] = "sig";
APP_CONST(m) const char kEncodedSlash[] = "%2F";
APP_CONST(m) const char kSlash[] = "/";
APP_CONST(m) const char kMessageTitle[] = "提示信息";
APP_CONST(m) const char kVerifyFailed[] = "下载的文件校验失败";
APP_CONST(m) const char kLocalFileFailed[] = "不能打开本地文件";

APP_CONST(m) const char kTotalItem[] = "总大小：";
APP_CONST(m) const char kDownloadedItem[] = "已下载：";
APP_CONST(m) const char kSpeedItem[] = "速度：";
APP_CONST(m) const char kMegabytes[] = "MB";
APP_CONST(m) const char kSpeedUnit[] = "KB/S";
APP_CONST(m) const char kPercent[] = "%";
APP_CONST(m) const char kItemSeparator[] = "  ";
APP_CONST(m) const char kCompletedBarText[] = "100%  速度：0KB/S";
APP_CONST(m) const char kCompletedFormat[] = "总大小：%sMB  下载完毕，请稍后...";

const void* constantSegmentStart() { return kSegmentStart; }
unsigned constantSegmentSize() { return static_cast<unsigned>(kSegmentEnd - kSegmentStart); }

}  // namespace app
