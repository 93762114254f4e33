#include "app/progress_window.h"

#include "app/app_text.h"
#include "app/constants.h"
#include "app/globals.h"
#include "app/progress_text.h"
#include "app/update_flow.h"
#include "runtime/commands/commands.h"
#include "runtime/service_request.h"
#include "ui/controls/draw_panel.h"
#include "ui/controls/label.h"
#include "ui/program_window.h"
#include "ui/properties.h"

namespace app {

namespace cmd = rt::cmd;
using cmd::Arg;
using cmd::OwnedText;

namespace {

constexpr uint32_t kBarScale = 10000;
constexpr uint32_t kBarColour = 0x00FF00;

// Property numbers of the controls this window uses.
constexpr int32_t kPropWidth = ui::kCommonWidth, kPropHeight = ui::kCommonHeight;
constexpr int32_t kPropCaption = ui::unitProperty(ui::Label::kCaption);
constexpr int32_t kPropAutoRedraw = ui::unitProperty(ui::DrawPanel::kAutoRedraw);
constexpr int32_t kPropPenWidth = ui::unitProperty(ui::DrawPanel::kPenWidth);
constexpr int32_t kPropBrushColour = ui::unitProperty(ui::DrawPanel::kBrushColour);

Arg progressPanel() { return Arg::unit(ui::kProgressWindowId, ui::kUnitProgressPanel, rt::kTypeDrawPanel); }

int32_t panelProperty(int32_t property) {
    return static_cast<int32_t>(
        rt::serviceTable().readUnitProperty(ui::kProgressWindowId, ui::kUnitProgressPanel, property, -1));
}

void setPanelProperty(int32_t property, uint32_t value) {
    rt::serviceTable().writeUnitProperty(ui::kProgressWindowId, ui::kUnitProgressPanel, property, -1, value, 0);
}

void setStatusText(const char* text) {
    rt::serviceTable().writeUnitProperty(ui::kProgressWindowId, ui::kUnitInfoLabel, kPropCaption, -1,
                                         reinterpret_cast<uint32_t>(text), 0);
}

// The bar text starts at half the panel width less 50.
int32_t barTextLeft() { return cmd::toInteger(panelProperty(kPropWidth) / 2.0 - 50); }

}  // namespace

ui::HandlerResult refreshProgress(const uint32_t*, uint32_t) {
    if (stopIfClosing()) return ui::HandlerResult::none();
    DownloadProgress& progress = globals().progress;
    const int64_t total = progress.totalBytes.load();
    const int64_t downloaded = progress.downloadedBytes.load();
    const int32_t elapsed = progress.elapsedMs.load();
    const int64_t received = progress.receivedBytes.load();

    // Below 1 % (and while the size is unknown) the fetching state stays.
    const int32_t percent = cmd::toInteger(static_cast<double>(downloaded) * 10000 / total / 100);
    if (percent <= 0) return ui::HandlerResult::none();

    setStatusText(sizesText(total, downloaded).get());
    const int32_t barValue = cmd::toInteger(static_cast<double>(downloaded) * kBarScale / total);
    OwnedText bar = barText(percent, received, elapsed);
    drawProgressBar(kBarScale, static_cast<uint32_t>(barValue), kBarColour, bar.get(), barTextLeft());

    cmd::processEvents();
    return ui::HandlerResult::none();
}

int32_t drawProgressBar(uint32_t maximum, uint32_t value, uint32_t colour, const char* text, int32_t textLeft) {
    cmd::clearPanel(progressPanel());
    setPanelProperty(kPropAutoRedraw, 1);  // the drawing survives repaints
    setPanelProperty(kPropBrushColour, colour);
    const double share = static_cast<double>(value) / maximum;
    const double fillWidth = share * panelProperty(kPropWidth);
    const int32_t height = panelProperty(kPropHeight);
    // Corners in any order: the fill spans pen width .. fill width across and
    // height / 100 .. height down.
    cmd::fillPanelRect(progressPanel(), panelProperty(kPropPenWidth), height, cmd::toInteger(fillWidth),
                       cmd::toInteger(height / 100.0));
    cmd::writePanelText(progressPanel(), textLeft, 4, text);
    return cmd::floorInt(share * 100);
}

void showCompleted() {
    drawProgressBar(kBarScale, kBarScale, kBarColour, kCompletedBarText, barTextLeft());
    OwnedText size = megabytesText(globals().progress.totalBytes.load());
    OwnedText status = cmd::formatText(kCompletedFormat, size.get());
    setStatusText(status.get());
}

}  // namespace app
