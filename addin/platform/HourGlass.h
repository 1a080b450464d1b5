#pragma once

namespace kestrel {

// Shows the hour-glass while it lives; the cursor comes back on every way
// out, an exception included.
class HourGlass {
public:
    HourGlass();
    HourGlass(const HourGlass&) = delete;
    HourGlass& operator=(const HourGlass&) = delete;
    ~HourGlass();

    // Puts the cursor back now.
    void Restore();

private:
    bool active_ = false;
};

} // namespace kestrel
