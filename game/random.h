// The process-wide random source: a 32-bit linear congruential generator.
// Reproduced bit for bit so that a seed always gives the same deals.
#pragma once

#include <cstdint>

namespace kestrova {

class Random {
public:
    explicit Random(std::uint32_t state = 0) : state_(state) {}

    std::uint32_t state() const { return state_; }
    void setState(std::uint32_t state) { state_ = state; }

    // Seeds from the UTC time of day in milliseconds since midnight.
    void seedFromClock();

    // A number in 0 .. n-1: step the state, then take the upper 32 bits
    // of the 64-bit product state * n.
    int draw(int n);

private:
    std::uint32_t state_;
};

} // namespace kestrova
