#include "ui/controls/label.h"

#include <algorithm>

#include "ui/controls/caption_painter.h"
#include "ui/controls/controls.h"
#include "ui/gdi_object.h"

namespace ui {

namespace {


constexpr PropertyDescription kProperties[Label::kPropertyCount] = {
    {kPropText, 0},   {kPropChoice, 0}, {kPropChoice, 0}, {kPropInteger, 0}, {kPropColourOrTransparent, 0},
    {kPropColourOrTransparent, 0}, {kPropColourOrTransparent, 0}, {kPropFont, 0}, {kPropColour, 0},
    {kPropColourOrDefault, 0}, {kPropPicture, 0}, {kPropChoice, 0}, {kPropChoice, 0},
    {kPropColourOrTransparent, 0}, {kPropColourOrTransparent, 0}, {kPropColourOrTransparent, 0},
    {kPropChoice, 0}, {kPropLogical, 0}, {kPropChoice, 0}, {kPropText, 0}, {kPropText, 0},
};

constexpr const char* kClassName = "_RT_Label";

// The colours of a gradient that aren't transparent.
std::vector<COLORREF> opaqueColours(const std::array<uint32_t, 3>& colours) {
    std::vector<COLORREF> out;
    for (uint32_t c : colours)
        if (c != kNoColour) out.push_back(c & 0xFFFFFF);
    return out;
}

}  // namespace

const ClassDescription kLabelClass = {kClassName, kClassHasEvents, Label::kPropertyCount, kProperties,
                                      &standardInterface<Label>};

void paintGradient(HDC dc, const RECT& rect, const std::vector<COLORREF>& colours, bool vertical) {
    int extent = vertical ? rect.bottom - rect.top : rect.right - rect.left;
    if (extent <= 0 || colours.size() < 2) return;
    size_t segments = colours.size() - 1;
    for (int i = 0; i < extent; ++i) {
        double position = extent > 1 ? static_cast<double>(i) * segments / (extent - 1) : 0;
        size_t s = std::min(static_cast<size_t>(position), segments - 1);
        double f = position - s;
        COLORREF a = colours[s], b = colours[s + 1];
        auto mix = [f](int x, int y) { return static_cast<BYTE>(x + (y - x) * f + 0.5); };
        GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
                                            mix(GetBValue(a), GetBValue(b)))));
        RECT line = vertical ? RECT{rect.left, rect.top + i, rect.right, rect.top + i + 1}
                             : RECT{rect.left + i, rect.top, rect.left + i + 1, rect.bottom};
        FillRect(dc, &line, brush.get());
    }
}

UnitObject* Label::create(const CreateRequest& request) {
    auto label = new Label(request.windowId, request.unitId);
    if (!readBlockData(request.data, request.length, label->block_)) {
        delete label;
        return nullptr;
    }
    registerClass(kClassName, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW));
    DWORD style = 0, exStyle = 0;
    borderStyles(label->block_.border, style, exStyle);
    // A failed creation has deleted the object.
    if (!label->createChildWindow(request, exStyle, kClassName, label->block_.caption.c_str(), style)) return nullptr;
    return label;
}

bool Label::getProperty(int32_t number, PropertyValue& out) {
    const LabelBlock& b = block_;
    switch (number) {
        case kCaption: out = textValue(b.caption); return true;
        case kEffect: out.lo = b.effect; return true;
        case kBorder: out.lo = b.border; return true;
        case kGradientBorderWidth: out.lo = b.gradientBorderWidth; return true;
        case kGradientBorder1: case kGradientBorder2: case kGradientBorder3:
            out.lo = b.gradientBorderColours[number - kGradientBorder1]; return true;
        case kFont: out = bufferValue(b.font); return true;
        case kTextColour: out.lo = b.textColour; return true;
        case kBackgroundColour: out.lo = b.backgroundColour; return true;
        case kPicture: out = bufferValue(b.picture); return true;
        case kPictureMode: out.lo = b.pictureMode; return true;
        case kGradientMode: out.lo = b.gradientMode; return true;
        case kGradient1: case kGradient2: case kGradient3: out.lo = b.gradientColours[number - kGradient1]; return true;
        case kHorizontalAlignment: out.lo = b.horizontalAlignment; return true;
        case kWordWrap: out.lo = b.wordWrap; return true;
        case kVerticalAlignment: out.lo = b.verticalAlignment; return true;
        case kDataSource: out = textValue(b.dataSource); return true;
        case kDataColumn: out = textValue(b.dataColumn); return true;
        default: return false;
    }
}

void Label::setProperty(int32_t number, const PropertyValue& value) {
    LabelBlock& b = block_;
    uint32_t v = value.lo;
    switch (number) {
        case kCaption:
            b.caption = textFrom(value);
            SetWindowTextA(handle(), b.caption.c_str());
            break;
        case kEffect: b.effect = clampChoice(v, 3); break;
        case kBorder:
            b.border = v > 6 ? 0 : v;   // out of range counts as no border
            applyBorder(handle(), b.border);
            break;
        case kGradientBorderWidth: b.gradientBorderWidth = static_cast<int32_t>(v) < 5 ? 5 : v; break;
        case kGradientBorder1: case kGradientBorder2: case kGradientBorder3:
            b.gradientBorderColours[number - kGradientBorder1] = v; break;
        case kFont: b.font = bufferFrom(value); break;
        case kTextColour: b.textColour = v; break;
        case kBackgroundColour: b.backgroundColour = v; break;
        case kPicture: b.picture = bufferFrom(value); break;
        case kPictureMode: b.pictureMode = clampChoice(v, 2); break;
        case kGradientMode: b.gradientMode = clampChoice(v, 8); break;
        case kGradient1: case kGradient2: case kGradient3: b.gradientColours[number - kGradient1] = v; break;
        case kHorizontalAlignment: b.horizontalAlignment = clampChoice(v, 2); break;
        case kWordWrap: b.wordWrap = v ? 1 : 0; break;
        case kVerticalAlignment: b.verticalAlignment = clampChoice(v, 2); break;
        case kDataSource: b.dataSource = textFrom(value); break;
        case kDataColumn: b.dataColumn = textFrom(value); break;
        default: return;
    }
    InvalidateRect(handle(), nullptr, TRUE);
}

void Label::enumerateTexts(TextCallback callback, void* context) {
    callback(context, block_.caption);
    visitFontFace(block_.font, [&](std::string& face) { callback(context, face); });
}

void Label::paint(HDC dc, const RECT& update) {
    const LabelBlock& b = block_;
    RECT rect;
    GetClientRect(handle(), &rect);
    if (b.border == 6 && static_cast<int32_t>(b.gradientBorderWidth) > 0) {
        std::vector<COLORREF> colours = opaqueColours(b.gradientBorderColours);
        if (colours.size() >= 2) {
            paintGradient(dc, rect, colours, false);
            int w = static_cast<int>(b.gradientBorderWidth);
            InflateRect(&rect, -w, -w);
        }
    }
    RECT clip;
    if (!IntersectRect(&clip, &rect, &update)) return;
    int saved = SaveDC(dc);
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    std::vector<COLORREF> gradient = opaqueColours(b.gradientColours);
    // Pictures are decoded by the picture periphery, which this runtime
    // doesn't carry: a picture background shows the background colour.
    if (b.gradientMode != 0 && gradient.size() >= 2) {
        paintGradient(dc, rect, gradient, b.gradientMode > 4);
    } else {
        GdiObject<HBRUSH> brush(CreateSolidBrush(resolveBackground(b.backgroundColour)));
        FillRect(dc, &rect, brush.get());
    }
    drawCaption(dc, rect, b.caption, b.font,
                {b.effect, b.textColour, b.horizontalAlignment, b.verticalAlignment, b.wordWrap != 0});
    RestoreDC(dc, saved);
}

LRESULT Label::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(handle(), &ps);
            paint(dc, ps.rcPaint);
            EndPaint(handle(), &ps);
            return 0;
        }
        default: return UnitObject::windowProc(message, wParam, lParam);
    }
}

}  // namespace ui
