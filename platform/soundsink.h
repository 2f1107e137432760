// Where the game sends its sounds: the real player, or a recorder in tests.
#pragma once

#include <string_view>

namespace kestrova {

class SoundSink {
public:
    virtual ~SoundSink() = default;

    // Starts the named clip and returns at once; a new clip cuts off the one
    // still playing. A name that is not known plays nothing.
    virtual void play(std::string_view name) = 0;
};

} // namespace kestrova
