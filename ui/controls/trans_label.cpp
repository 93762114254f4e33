#include "ui/controls/trans_label.h"

#include <algorithm>

#include "ui/controls/caption_painter.h"
#include "ui/controls/controls.h"

namespace ui {

namespace {

constexpr PropertyDescription kProperties[TransLabel::kPropertyCount] = {
    {kPropText, 0},   {kPropChoice, 0},  {kPropFont, 0},   {kPropColour, 0},
    {kPropChoice, 0}, {kPropLogical, 0}, {kPropChoice, 0},
};
constexpr const char* kClassName = "_RT_TransLabel";

// Visible descendants of `parent`, children before their parent.
void collectVisible(HWND parent, std::vector<HWND>& out) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        collectVisible(child, out);
        out.push_back(child);
    }
}

}  // namespace

const ClassDescription kTransLabelClass = {kClassName, kClassHasEvents, TransLabel::kPropertyCount, kProperties,
                                           &standardInterface<TransLabel>};

UnitObject* TransLabel::create(const CreateRequest& request) {
    auto label = new TransLabel(request.windowId, request.unitId);
    if (!readBlockData(request.data, request.length, label->block_)) {
        delete label;
        return nullptr;
    }
    registerClass(kClassName, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW));
    // A failed creation has deleted the object.
    if (!label->createChildWindow(request, WS_EX_TRANSPARENT, kClassName, label->block_.caption.c_str(), 0))
        return nullptr;
    return label;
}

bool TransLabel::getProperty(int32_t number, PropertyValue& out) {
    const TransLabelBlock& b = block_;
    switch (number) {
        case kCaption: out = textValue(b.caption); return true;
        case kEffect: out.lo = b.effect; return true;
        case kFont: out = bufferValue(b.font); return true;
        case kTextColour: out.lo = b.textColour; return true;
        case kHorizontalAlignment: out.lo = b.horizontalAlignment; return true;
        case kWordWrap: out.lo = b.wordWrap; return true;
        case kVerticalAlignment: out.lo = b.verticalAlignment; return true;
        default: return false;
    }
}

void TransLabel::setProperty(int32_t number, const PropertyValue& value) {
    TransLabelBlock& b = block_;
    uint32_t v = value.lo;
    switch (number) {
        case kCaption:
            b.caption = textFrom(value);
            SetWindowTextA(handle(), b.caption.c_str());
            break;
        case kEffect: b.effect = clampChoice(v, 3); break;
        case kFont: b.font = bufferFrom(value); break;
        case kTextColour: b.textColour = v; break;
        case kHorizontalAlignment: b.horizontalAlignment = clampChoice(v, 2); break;
        case kWordWrap: b.wordWrap = v ? 1 : 0; break;
        case kVerticalAlignment: b.verticalAlignment = clampChoice(v, 2); break;
        default: return;
    }
    refresh();
}

void TransLabel::enumerateTexts(TextCallback callback, void* context) {
    callback(context, block_.caption);
    visitFontFace(block_.font, [&](std::string& face) { callback(context, face); });
}

void TransLabel::refresh() {
    HWND self = handle();
    if (!self) return;
    HWND top = self;
    while ((GetWindowLongA(top, GWL_STYLE) & WS_CHILD) && GetParent(top)) top = GetParent(top);
    if (top != self) {
        RECT area;
        GetClientRect(self, &area);
        MapWindowPoints(self, top, reinterpret_cast<POINT*>(&area), 2);
        RedrawWindow(top, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

        RECT mine;
        GetWindowRect(self, &mine);
        std::vector<HWND> beneath;
        collectVisible(top, beneath);
        for (size_t i = beneath.size(); i-- > 0;) {
            HWND other = beneath[i];
            if (other == self) continue;
            RECT theirs, overlap;
            GetWindowRect(other, &theirs);
            if (!IntersectRect(&overlap, &theirs, &mine)) continue;
            MapWindowPoints(nullptr, other, reinterpret_cast<POINT*>(&overlap), 2);
            RedrawWindow(other, &overlap, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
        }
    }
    InvalidateRect(self, nullptr, FALSE);
}

LRESULT TransLabel::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(handle(), &ps);
            RECT rect;
            GetClientRect(handle(), &rect);
            const TransLabelBlock& b = block_;
            drawCaption(dc, rect, b.caption, b.font,
                        {b.effect, b.textColour, b.horizontalAlignment, b.verticalAlignment, b.wordWrap != 0});
            EndPaint(handle(), &ps);
            return 0;
        }
        case WM_WINDOWPOSCHANGED: {
            auto pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (!(pos->flags & SWP_NOMOVE) || !(pos->flags & SWP_NOSIZE)) refresh();
            break;
        }
        default: break;
    }
    return UnitObject::windowProc(message, wParam, lParam);
}

}  // namespace ui
