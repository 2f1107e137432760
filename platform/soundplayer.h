// The sound output: plays the compiled-in clips in the background, one at a time.
#pragma once

#include "platform/soundsink.h"

#include <memory>
#include <vector>

class QSoundEffect;

namespace kestrova {

// Every clip is loaded once, up front, so that playing one never waits on a
// file. Where there is no audio output (a headless machine, CI), or the
// environment variable KESTROVA_NO_AUDIO is set, it loads nothing and stays
// silent: the audio back end would otherwise warn per clip, and a clip that
// cannot play reports itself as playing for ever. Nothing may depend on what
// this player reports; it is output only.
class SoundPlayer : public SoundSink {
public:
    SoundPlayer();
    ~SoundPlayer() override;
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    void play(std::string_view name) override;

    // Whether clips were loaded for an audio output (false when silent).
    bool hasAudio() const;

private:
    struct Clip;
    std::vector<Clip> m_effects;
    QSoundEffect* m_current = nullptr;
};

} // namespace kestrova
