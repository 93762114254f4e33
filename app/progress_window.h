// What the window shows of the download: the refresh on the timer, the bar
// drawn on the draw panel and the completed state.
#pragma once

#include <cstdint>

#include "ui/event_handler.h"

namespace app {

// The timer's event: sizes, speed and bar from the progress record.
ui::HandlerResult refreshProgress(const uint32_t* args, uint32_t count);

// Clears the panel and draws value/maximum of it in `colour` with `text` at
// (textLeft, 4); returns the percentage.
int32_t drawProgressBar(uint32_t maximum, uint32_t value, uint32_t colour, const char* text, int32_t textLeft);

// The full bar and "总大小：…MB  下载完毕，请稍后...".
void showCompleted();

}  // namespace app
