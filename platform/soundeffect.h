// One preloaded clip of a sound output, as the sound player drives it.
#pragma once

namespace kestrova {

class SoundEffect {
public:
    virtual ~SoundEffect() = default;

    // Starts the clip from its beginning and returns at once.
    virtual void play() = 0;
    virtual void stop() = 0;
};

} // namespace kestrova
