// Owned GDI and pointer objects: each wrapper holds only its handle and
// releases it.
#pragma once

#include <windows.h>

#include <utility>

namespace ui {

// A pen, brush, font or bitmap owned by its holder (DeleteObject on release).
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset(Handle handle = nullptr) {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

// A memory device context (DeleteDC on release).
class MemoryDc {
public:
    MemoryDc() = default;
    explicit MemoryDc(HDC dc) : dc_(dc) {}
    ~MemoryDc() { reset(); }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void reset(HDC dc = nullptr) {
        if (dc_) DeleteDC(dc_);
        dc_ = dc;
    }

private:
    HDC dc_ = nullptr;
};

// A unit's mouse pointer: either a shared system pointer, which is never
// destroyed, or one made from the unit's cursor image, which the holder
// destroys on release.
class UnitCursor {
public:
    UnitCursor() = default;
    static UnitCursor shared(HCURSOR cursor) { return UnitCursor(cursor, false); }
    static UnitCursor made(HCURSOR cursor) { return UnitCursor(cursor, true); }
    ~UnitCursor() { reset(); }
    UnitCursor(UnitCursor&& other) noexcept
        : cursor_(std::exchange(other.cursor_, nullptr)), owned_(std::exchange(other.owned_, false)) {}
    UnitCursor& operator=(UnitCursor&& other) noexcept {
        if (this != &other) {
            reset();
            cursor_ = std::exchange(other.cursor_, nullptr);
            owned_ = std::exchange(other.owned_, false);
        }
        return *this;
    }
    UnitCursor(const UnitCursor&) = delete;
    UnitCursor& operator=(const UnitCursor&) = delete;

    HCURSOR get() const { return cursor_; }
    void reset() {
        if (cursor_ && owned_) DestroyCursor(cursor_);
        cursor_ = nullptr;
        owned_ = false;
    }

private:
    UnitCursor(HCURSOR cursor, bool owned) : cursor_(cursor), owned_(owned && cursor) {}

    HCURSOR cursor_ = nullptr;
    bool owned_ = false;
};

// The device context of a window, released when the holder goes.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

}  // namespace ui
