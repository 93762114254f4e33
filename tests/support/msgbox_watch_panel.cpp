#include "tests/support/msgbox_watch_panel.h"

#include <memory>

#include "tests/support/msgbox_watch.h"

namespace testing_support {

namespace {

// A text longer than this is no bar text: reading stops there.
constexpr size_t kMaxTextLength = 64;

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct ObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, ObjectDeleter>;

// The screen's device context, released with the scope.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A 32-bit top-down DIB selected into its own memory DC, whose bits are
// readable in place.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const uint32_t*>(bits);
        if (bitmap_) SelectObject(dc_.get(), bitmap_.get());
    }

    Canvas(Canvas&&) = default;
    bool valid() const { return dc_ && bitmap_ && bits_; }
    int width() const { return width_; }
    int height() const { return height_; }
    HDC dc() const { return dc_.get(); }

    // The canvas as an image; DIB pixels are 0x00RRGGBB, images 0x00BBGGRR.
    PanelImage image() const {
        GdiFlush();
        PanelImage out{width_, height_, {}};
        out.pixels.reserve(static_cast<size_t>(width_) * height_);
        for (int i = 0; i < width_ * height_; ++i) {
            uint32_t p = bits_[i];
            out.pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
        }
        return out;
    }

private:
    int width_, height_;
    MemoryDc dc_;
    OwnedBitmap bitmap_;
    const uint32_t* bits_ = nullptr;
};

// Each column's background: its top row, above any text.
std::vector<COLORREF> columnBackgrounds(const PanelImage& image) {
    std::vector<COLORREF> out;
    for (int x = 0; x < image.width; ++x) out.push_back(image.at(x, 0));
    return out;
}

// A canvas of the image's size whose columns show their backgrounds.
Canvas backgroundCanvas(const std::vector<COLORREF>& backgrounds, int height) {
    Canvas canvas(static_cast<int>(backgrounds.size()), height);
    if (!canvas.valid()) return canvas;
    for (size_t x = 0; x < backgrounds.size(); ++x) {
        HBRUSH brush = CreateSolidBrush(backgrounds[x]);
        RECT column{static_cast<LONG>(x), 0, static_cast<LONG>(x) + 1, height};
        FillRect(canvas.dc(), &column, brush);
        DeleteObject(brush);
    }
    return canvas;
}

// `text` drawn as the bar draws it (default GUI font, black, transparent)
// at `origin` over a copy of `background`.
PanelImage renderText(const Canvas& background, POINT origin, const std::wstring& text) {
    Canvas canvas(background.width(), background.height());
    if (!canvas.valid() || !background.valid()) return {};
    BitBlt(canvas.dc(), 0, 0, background.width(), background.height(), background.dc(), 0, 0, SRCCOPY);
    SelectObject(canvas.dc(), GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), RGB(0, 0, 0));
    TextOutW(canvas.dc(), origin.x, origin.y, text.c_str(), static_cast<int>(text.size()));
    return canvas.image();
}

// The advance of `text` in the default GUI font.
int textWidth(const std::wstring& text) {
    Canvas canvas(1, 1);
    SelectObject(canvas.dc(), GetStockObject(DEFAULT_GUI_FONT));
    SIZE extent{0, 0};
    GetTextExtentPoint32W(canvas.dc(), text.c_str(), static_cast<int>(text.size()), &extent);
    return extent.cx;
}

// Whether the two images mark the same pixels as ink (unlike their column's
// background) in the columns [from, to).
bool sameInk(const PanelImage& a, const PanelImage& b, const std::vector<COLORREF>& backgrounds, int from, int to) {
    if (a.width != b.width || a.height != b.height) return false;
    for (int x = std::max(from, 0); x < std::min(to, a.width); ++x)
        for (int y = 0; y < a.height; ++y)
            if ((a.at(x, y) != backgrounds[x]) != (b.at(x, y) != backgrounds[x])) return false;
    return true;
}

// The widest glyph that, appended to `read`, matches the image up to its
// advance; none when no glyph does.
std::optional<std::wstring> nextGlyph(const PanelImage& image, const std::vector<COLORREF>& backgrounds,
                                      const Canvas& background, const PanelTextLayout& layout,
                                      const std::wstring& read) {
    std::optional<std::wstring> best;
    int bestWidth = 0;
    for (wchar_t glyph : layout.glyphs) {
        std::wstring candidate = read + glyph;
        int end = layout.origin.x + textWidth(candidate);
        if (end <= layout.origin.x + textWidth(read) || end - layout.origin.x <= bestWidth) continue;
        PanelImage drawn = renderText(background, layout.origin, candidate);
        if (!sameInk(image, drawn, backgrounds, layout.origin.x, end)) continue;
        best = std::wstring(1, glyph);
        bestWidth = end - layout.origin.x;
    }
    return best;
}

}  // namespace

std::optional<PanelImage> captureClient(HWND window) {
    RECT client{};
    POINT origin{0, 0};
    // A hidden window's place on the screen shows something else.
    if (!IsWindowVisible(window) || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0 ||
        !ClientToScreen(window, &origin))
        return std::nullopt;
    Canvas canvas(client.right, client.bottom);
    // The screen, not the window's own DC: Wine copies nothing from a DC of
    // another process's window.
    ScreenDc screen;
    if (!screen.get() || !canvas.valid() ||
        !BitBlt(canvas.dc(), 0, 0, client.right, client.bottom, screen.get(), origin.x, origin.y, SRCCOPY))
        return std::nullopt;
    return canvas.image();
}

int fillExtent(const PanelImage& image, COLORREF fill) {
    int x = 0;
    while (x < image.width && image.at(x, 0) == fill) ++x;
    return x;
}

std::optional<std::wstring> readPanelText(const PanelImage& image, const PanelTextLayout& layout) {
    std::vector<COLORREF> backgrounds = columnBackgrounds(image);
    Canvas background = backgroundCanvas(backgrounds, image.height);
    std::wstring read;
    while (read.size() < kMaxTextLength) {
        // Done once what was read accounts for every marked pixel.
        if (sameInk(image, renderText(background, layout.origin, read), backgrounds, 0, image.width)) return read;
        std::optional<std::wstring> glyph = nextGlyph(image, backgrounds, background, layout, read);
        if (!glyph) return std::nullopt;
        read += *glyph;
    }
    return std::nullopt;
}

PanelReading readPanelImage(const PanelImage& image, COLORREF fill, const PanelTextLayout& layout) {
    PanelReading reading{image.width, image.height, fillExtent(image, fill), std::nullopt};
    if (!layout.glyphs.empty()) reading.text = readPanelText(image, layout);
    return reading;
}

std::string panelJson(DWORD ms, const PanelReading& reading) {
    return "{\"ms\": " + std::to_string(ms) + ", \"width\": " + std::to_string(reading.width) +
           ", \"height\": " + std::to_string(reading.height) + ", \"fill\": " + std::to_string(reading.fill) +
           ", \"text\": " + (reading.text ? jsonString(narrowUtf8(*reading.text)) : std::string("null")) + "}\n";
}

}  // namespace testing_support
