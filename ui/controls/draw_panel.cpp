#include "ui/controls/draw_panel.h"

#include <algorithm>

#include "ui/controls/caption_painter.h"
#include "ui/controls/controls.h"
#include "ui/gdi_object.h"

namespace ui {

namespace {

constexpr PropertyDescription kProperties[DrawPanel::kPropertyCount] = {
    {kPropChoice, 0}, {kPropColourOrDefault, 0}, {kPropPicture, 0}, {kPropChoice, 0}, {kPropLogical, 0},
    {kPropChoice, 0}, {kPropChoice, 0}, {kPropChoice, 0}, {kPropInteger, 0}, {kPropColour, 0},
    {kPropChoice, 0}, {kPropColour, 0}, {kPropColour, 0}, {kPropColourOrTransparent, 0}, {kPropFont, 0},
    {kPropInteger, kPropReadOnlyAtRunTime}, {kPropInteger, kPropReadOnlyAtRunTime},
};
constexpr const char* kClassName = "_RT_DrawPanel";

// Coordinate units 0-5.
constexpr int kMappingModes[6] = {MM_TEXT, MM_LOMETRIC, MM_HIMETRIC, MM_LOENGLISH, MM_HIENGLISH, MM_TWIPS};
// Pen styles 0-6: none, solid, dash, dot, dash-dot, dash-dot-dot, inside frame.
constexpr int kPenStyles[7] = {PS_NULL, PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_INSIDEFRAME};

}  // namespace

const ClassDescription kDrawPanelClass = {kClassName, kClassHasEvents, DrawPanel::kPropertyCount, kProperties,
                                          &standardInterface<DrawPanel>};

UnitObject* DrawPanel::create(const CreateRequest& request) {
    auto panel = new DrawPanel(request.windowId, request.unitId);
    if (!readBlockData(request.data, request.length, panel->block_)) {
        delete panel;
        return nullptr;
    }
    registerClass(kClassName, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW));
    DWORD style = 0, exStyle = 0;
    borderStyles(panel->block_.border, style, exStyle);
    // A failed creation has deleted the object.
    if (!panel->createChildWindow(request, exStyle, kClassName, "", style)) return nullptr;
    panel->rebuildPen();
    panel->rebuildBrush();
    panel->rebuildFont();
    if (panel->block_.autoRedraw) panel->createImage();
    return panel;
}

void DrawPanel::rebuildPen() {
    uint32_t style = std::min<uint32_t>(block_.penStyle, 6);
    pen_.reset(CreatePen(kPenStyles[style], static_cast<int>(block_.penWidth), block_.penColour & 0xFFFFFF));
}

void DrawPanel::rebuildBrush() {
    COLORREF colour = block_.brushColour & 0xFFFFFF;
    // Brush styles: 0 none, 1 solid, 2-7 the six hatch patterns; the others
    // (pattern brushes of the picture periphery) fill solid.
    if (block_.brushStyle == 0) {
        LOGBRUSH none{BS_NULL, 0, 0};
        brush_.reset(CreateBrushIndirect(&none));
    } else if (block_.brushStyle >= 2 && block_.brushStyle <= 7) {
        brush_.reset(CreateHatchBrush(static_cast<int>(block_.brushStyle - 2), colour));
    } else {
        brush_.reset(CreateSolidBrush(colour));
    }
}

void DrawPanel::rebuildFont() {
    font_.reset();
    if (block_.font.size() == kLogFontSize) {
        LOGFONTA description;
        memcpy(&description, block_.font.data(), sizeof description);
        font_.reset(CreateFontIndirectA(&description));
    }
}

void DrawPanel::fillBackground(HDC dc, const RECT& rect) const {
    // The picture periphery isn't carried: a background picture shows the colour.
    GdiObject<HBRUSH> brush(CreateSolidBrush(resolveBackground(block_.backgroundColour)));
    FillRect(dc, &rect, brush.get());
}

void DrawPanel::createImage() {
    dropImage();
    RECT client;
    GetClientRect(handle(), &client);
    imageSize_ = {std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)};
    {
        WindowDc windowDc(handle());
        imageDc_.reset(CreateCompatibleDC(windowDc.get()));
        image_.reset(CreateCompatibleBitmap(windowDc.get(), imageSize_.cx, imageSize_.cy));
    }
    if (!imageDc_ || !image_) {
        dropImage();
        return;
    }
    SelectObject(imageDc_.get(), image_.get());
    RECT all{0, 0, imageSize_.cx, imageSize_.cy};
    fillBackground(imageDc_.get(), all);
}

void DrawPanel::dropImage() {
    imageDc_.reset();
    image_.reset();
}

void DrawPanel::prepare(HDC dc, bool textOutput) const {
    SetMapMode(dc, kMappingModes[std::min<uint32_t>(block_.coordinateUnit, 5)]);
    SelectObject(dc, pen_ ? static_cast<HGDIOBJ>(pen_.get()) : GetStockObject(BLACK_PEN));
    SelectObject(dc, brush_ ? static_cast<HGDIOBJ>(brush_.get()) : GetStockObject(WHITE_BRUSH));
    SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_.get()) : GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, (textOutput ? block_.textColour : block_.brushColour) & 0xFFFFFF);
    if (block_.textBackground == kNoColour) {
        SetBkMode(dc, TRANSPARENT);
        SetBkColor(dc, resolveBackground(block_.backgroundColour));
    } else {
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, block_.textBackground & 0xFFFFFF);
    }
    SetROP2(dc, static_cast<int>(std::min<uint32_t>(block_.drawingMode, 15) + 1));
    SetPolyFillMode(dc, WINDING);
}

void DrawPanel::restore(HDC dc) const {
    SetMapMode(dc, MM_TEXT);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
}

template <typename Primitive>
void DrawPanel::draw(bool textOutput, Primitive primitive) {
    if (!handle()) return;
    if (image_ && block_.autoRedraw) {
        prepare(imageDc_.get(), textOutput);
        primitive(imageDc_.get());
        restore(imageDc_.get());
    }
    WindowDc dc(handle());
    if (!dc.get()) return;
    prepare(dc.get(), textOutput);
    primitive(dc.get());
    restore(dc.get());
}

SIZE DrawPanel::drawableSize() const {
    if (image_) return imageSize_;
    RECT client;
    GetClientRect(handle(), &client);
    WindowDc dc(handle());
    SetMapMode(dc.get(), kMappingModes[std::min<uint32_t>(block_.coordinateUnit, 5)]);
    POINT corner{client.right, client.bottom};
    DPtoLP(dc.get(), &corner, 1);
    SetMapMode(dc.get(), MM_TEXT);
    return {std::abs(corner.x), std::abs(corner.y)};
}

void DrawPanel::clear(const PanelArea& area) {
    POINT origin{area.left.value_or(0), area.top.value_or(0)};
    draw(false, [&](HDC dc) {
        RECT rect;
        if (area.left || area.top || area.width || area.height) {
            RECT client;
            GetClientRect(handle(), &client);
            DPtoLP(dc, reinterpret_cast<POINT*>(&client), 2);
            rect.left = origin.x;
            rect.top = origin.y;
            rect.right = area.width ? origin.x + *area.width : client.right;
            rect.bottom = area.height ? origin.y + *area.height : client.bottom;
            LPtoDP(dc, reinterpret_cast<POINT*>(&rect), 2);
        } else {
            GetClientRect(handle(), &rect);
            if (dc == imageDc_.get()) rect = {0, 0, imageSize_.cx, imageSize_.cy};
        }
        int saved = SaveDC(dc);
        SetMapMode(dc, MM_TEXT);
        fillBackground(dc, rect);
        RestoreDC(dc, saved);
    });
    textPosition_ = origin;
}

void DrawPanel::fillRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    draw(false, [&](HDC dc) {
        POINT corners[2] = {{left, top}, {right, bottom}};
        LPtoDP(dc, corners, 2);
        RECT rect{std::min(corners[0].x, corners[1].x), std::min(corners[0].y, corners[1].y),
                  std::max(corners[0].x, corners[1].x), std::max(corners[0].y, corners[1].y)};
        // At least one device pixel each way.
        if (rect.right == rect.left) ++rect.right;
        if (rect.bottom == rect.top) ++rect.bottom;
        int saved = SaveDC(dc);
        SetMapMode(dc, MM_TEXT);
        FillRect(dc, &rect, brush_ ? brush_.get() : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        RestoreDC(dc, saved);
    });
}

void DrawPanel::writeText(std::optional<int32_t> x, std::optional<int32_t> y, const std::vector<std::string>& texts) {
    POINT start{x.value_or(textPosition_.x), y.value_or(textPosition_.y)};
    POINT end = start;
    draw(true, [&](HDC dc) {
        POINT at = start;
        for (const std::string& text : texts) {
            TextOutA(dc, at.x, at.y, text.c_str(), static_cast<int>(text.size()));
            SIZE extent{0, 0};
            GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            at.x += extent.cx;
        }
        end = at;
    });
    textPosition_ = end;
}

bool DrawPanel::getProperty(int32_t number, PropertyValue& out) {
    const DrawPanelBlock& b = block_;
    switch (number) {
        case kBorder: out.lo = b.border; return true;
        case kBackgroundColour: out.lo = b.backgroundColour; return true;
        case kPicture: out = bufferValue(b.picture); return true;
        case kPictureMode: out.lo = b.pictureMode; return true;
        case kAutoRedraw: out.lo = b.autoRedraw; return true;
        case kCoordinateUnit: out.lo = b.coordinateUnit; return true;
        case kPenStyle: out.lo = b.penStyle; return true;
        case kDrawingMode: out.lo = b.drawingMode; return true;
        case kPenWidth: out.lo = b.penWidth; return true;
        case kPenColour: out.lo = b.penColour; return true;
        case kBrushStyle: out.lo = b.brushStyle; return true;
        case kBrushColour: out.lo = b.brushColour; return true;
        case kTextColour: out.lo = b.textColour; return true;
        case kTextBackground: out.lo = b.textBackground; return true;
        case kFont: out = bufferValue(b.font); return true;
        case kDrawableWidth: out.lo = static_cast<uint32_t>(drawableSize().cx); return true;
        case kDrawableHeight: out.lo = static_cast<uint32_t>(drawableSize().cy); return true;
        default: return false;
    }
}

void DrawPanel::setProperty(int32_t number, const PropertyValue& value) {
    DrawPanelBlock& b = block_;
    uint32_t v = value.lo;
    switch (number) {
        case kBorder:
            b.border = v > 5 ? 0 : v;
            applyBorder(handle(), b.border);
            break;
        case kBackgroundColour:
            b.backgroundColour = v;
            if (image_) createImage();
            break;
        case kPicture:
            b.picture = bufferFrom(value);
            if (image_) createImage();
            break;
        case kPictureMode: b.pictureMode = clampChoice(v, 2); break;
        case kAutoRedraw:
            b.autoRedraw = v ? 1 : 0;
            if (b.autoRedraw && !image_) createImage();
            if (!b.autoRedraw) dropImage();
            break;
        case kCoordinateUnit:
            b.coordinateUnit = clampChoice(v, 5);
            rebuildFont();
            break;
        case kPenStyle: b.penStyle = clampChoice(v, 6); rebuildPen(); break;
        case kDrawingMode: b.drawingMode = clampChoice(v, 15); break;
        case kPenWidth: b.penWidth = clampChoice(v, 32767); rebuildPen(); break;
        case kPenColour: b.penColour = v; rebuildPen(); break;
        case kBrushStyle: b.brushStyle = clampChoice(v, 55); rebuildBrush(); break;
        case kBrushColour: b.brushColour = v; rebuildBrush(); break;
        case kTextColour: b.textColour = v; break;
        case kTextBackground: b.textBackground = v; break;
        case kFont: b.font = bufferFrom(value); rebuildFont(); break;
        default: return;   // unknown and read-only numbers change nothing
    }
    // Every change shows at once: without a persistent image this also
    // clears what was drawn.
    InvalidateRect(handle(), nullptr, TRUE);
}

void DrawPanel::enumerateTexts(TextCallback callback, void* context) {
    if (visitFontFace(block_.font, [&](std::string& face) { callback(context, face); })) rebuildFont();
}

LRESULT DrawPanel::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(handle(), &ps);
            RECT client;
            GetClientRect(handle(), &client);
            if (image_) {
                fillBackground(dc, client);   // beyond the image after a resize
                BitBlt(dc, 0, 0, imageSize_.cx, imageSize_.cy, imageDc_.get(), 0, 0, SRCCOPY);
            } else {
                fillBackground(dc, client);
            }
            EndPaint(handle(), &ps);
            return 0;
        }
        default: return UnitObject::windowProc(message, wParam, lParam);
    }
}

}  // namespace ui
