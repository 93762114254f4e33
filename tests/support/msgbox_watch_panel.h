// Reads a bar that a program draws on a child window, from outside the
// program: the window's client area is copied from the screen, the extent
// of the fill colour measured and the text drawn over it read back by
// matching it against glyphs of the default GUI font drawn here.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The client area of a window as shown on the screen.
struct PanelImage {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // rows top-down, 0x00BBGGRR

    bool operator==(const PanelImage&) const = default;

    COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// What one sample of the bar showed.
struct PanelReading {
    int width = 0;   // client area, pixels
    int height = 0;
    int fill = 0;    // columns from the left edge in the fill colour (top row)
    std::optional<std::wstring> text;  // none: not written in the glyphs given

    bool operator==(const PanelReading&) const = default;
};

// Where the text is written (client coordinates) and which characters it
// may hold; the text is read only when glyphs isn't empty.
struct PanelTextLayout {
    POINT origin{0, 0};
    std::wstring glyphs;
};

// The client area of `window` as the screen shows it; none when the window
// is gone or has no area.
std::optional<PanelImage> captureClient(HWND window);

// How many columns, counted from the left edge, show `fill` in the top row.
int fillExtent(const PanelImage& image, COLORREF fill);

// The text written at layout.origin with the default GUI font, in black over
// the bar: the string of layout.glyphs that, drawn there, marks exactly the
// pixels the image shows apart from each column's background (its top
// row). None when no such string is found.
std::optional<std::wstring> readPanelText(const PanelImage& image, const PanelTextLayout& layout);

// What the image shows: its fill extent and (when glyphs are given) its text.
PanelReading readPanelImage(const PanelImage& image, COLORREF fill, const PanelTextLayout& layout);

// The JSON line of a sample taken `ms` after the program's start:
// {"ms": t, "width": w, "height": h, "fill": f, "text": "..." or null}.
std::string panelJson(DWORD ms, const PanelReading& reading);

}  // namespace testing_support
