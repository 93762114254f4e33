// The timer: a hidden child window owning system timer 1000; each time the
// interval elapses it raises kTimerElapsed.
#pragma once

#include "ui/controls/property_blocks.h"
#include "ui/unit_object.h"

namespace ui {

// The timer's events, by the numbers that the template's bindings use.
enum TimerEvent : int32_t {
    kTimerElapsed = 0,
};

class Timer : public UnitObject {
public:
    // The class's own properties; unit property unitProperty(p) (properties.h).
    enum Property : int32_t {
        kInterval,      // milliseconds; 0 stops the timer
        kPropertyCount
    };

    static constexpr UINT_PTR kSystemTimerId = 1000;
    static UnitObject* create(const CreateRequest& request);

    bool getProperty(int32_t number, PropertyValue& out) override;
    void setProperty(int32_t number, const PropertyValue& value) override;
    std::vector<uint8_t> save() const override { return blockBytes(block_); }

    int32_t interval() const { return block_.interval; }
    bool running() const { return running_; }
    void setInterval(int32_t interval);

protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    using UnitObject::UnitObject;
    void start();
    void stop();

    TimerBlock block_;
    bool designMode_ = false;
    bool running_ = false;
};

}  // namespace ui
