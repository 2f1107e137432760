#include "game/random.h"

#include <cassert>
#include <chrono>

namespace kestrova {

void Random::seedFromClock()
{
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
    const auto millisecondsPerDay = duration_cast<milliseconds>(days(1)).count();
    state_ = static_cast<std::uint32_t>(sinceEpoch.count() % millisecondsPerDay);
}

int Random::draw(int n)
{
    assert(n > 0);
    state_ = state_ * 134775813u + 1u;
    return static_cast<int>((static_cast<std::uint64_t>(state_) * static_cast<std::uint32_t>(n)) >> 32);
}

} // namespace kestrova
