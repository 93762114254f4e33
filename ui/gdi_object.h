// Owned GDI objects: each wrapper holds only its handle and releases it.
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
