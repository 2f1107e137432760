// The sound output: plays the clips of a table it is given, in the background,
// one at a time.
#pragma once

#include "platform/soundeffect.h"
#include "platform/soundsink.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrova {

// A clip as its callers name it, and the resource path of its sound.
struct SoundClip {
    std::string name;
    QString source;
};

// A name matches a clip of the table without regard to case; a new clip cuts
// off the one still playing; a name not in the table plays nothing and leaves
// the playing clip alone. Every clip is loaded once, up front, so that playing
// one never waits on a file. Nothing may depend on what this player reports;
// it is output only.
class SoundPlayer : public SoundSink {
public:
    // Makes the output's effect for one clip's source.
    using EffectMaker = std::function<std::unique_ptr<SoundEffect>(const QString& source)>;

    // Plays through the system's audio output. Where there is none (a headless
    // machine, CI), or the environment variable KESTROVA_NO_AUDIO is set, it
    // loads nothing and stays silent: the audio back end would otherwise warn
    // per clip, and a clip that cannot play reports itself as playing for ever.
    explicit SoundPlayer(const std::vector<SoundClip>& clips);
    // Plays through the effects that `makeEffect` makes; silent without one.
    SoundPlayer(const std::vector<SoundClip>& clips, const EffectMaker& makeEffect);
    ~SoundPlayer() override;
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    void play(std::string_view name) override;

    // Whether clips were loaded for an output (false when silent).
    bool hasAudio() const;

private:
    struct LoadedClip {
        std::string name;
        std::unique_ptr<SoundEffect> effect;
    };
    std::vector<LoadedClip> clips_;
    SoundEffect* current_ = nullptr;
};

} // namespace kestrova
