#pragma once
// The application's screen mouse pointer, as a component sets it around long operations: 11 is the
// hourglass, 0 the default. It is one plain property, not a nesting counter: the last value set wins,
// so setting the default twice leaves the default. The host implementation also counts how often the
// hourglass was switched on, which tells a test or a log that an operation announced itself.

#include <cstdint>

#include "platform/services/event.h"
#include "platform/variant/variant.h"

namespace kv::services {

namespace pointer {
inline constexpr int16_t kDefault = 0;
inline constexpr int16_t kHourglass = 11;
}  // namespace pointer

class ScreenPointer : public kv::Object {
public:
    ~ScreenPointer() override;
    virtual int16_t MousePointer() const = 0;
    virtual void SetMousePointer(int16_t value) = 0;
};

class HostScreenPointer : public ScreenPointer {
public:
    int16_t MousePointer() const override { return value_; }
    void SetMousePointer(int16_t value) override;

    // Times the pointer went from something else to the hourglass.
    int HourglassCount() const { return hourglass_count_; }
    // Raised when the value changes, for the view that shows the cursor.
    Event<int16_t> Changed;

private:
    int16_t value_ = pointer::kDefault;
    int hourglass_count_ = 0;
};

}  // namespace kv::services
