// The sound output: plays the clips of a table it is given, in the background,
// one at a time.
#pragma once

#include "platform/audioserver.h"
#include "platform/soundeffect.h"
#include "platform/soundsink.h"

#include <QString>
#include <QStringList>

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
// the playing clip alone. Every clip is loaded once, before the first is
// played, so that playing one never waits on a file. Nothing may depend on
// what this player reports; it is output only.
class SoundPlayer : public SoundSink {
public:
    // Makes the output's effect for one clip's source.
    using EffectMaker = std::function<std::unique_ptr<SoundEffect>(const QString& source)>;
    // Whether the system's sound server may answer: false only where it
    // certainly cannot, and then the module is never loaded.
    using ServerCheck = std::function<bool()>;

    // Nothing is loaded until load(): starting the audio back end and reading
    // the clips is kept off the way to the first window.

    // Plays through the system's audio output, which load() takes from the
    // sound module beside the executable or in ../lib/games/kestrova from it. Where
    // there is no output (a headless machine, CI, no sound server), or the
    // environment variable KESTROVA_NO_AUDIO is set, it stays silent: the audio
    // back end would otherwise warn per clip, and a clip that cannot play
    // reports itself as playing for ever. Without a usable module it stays
    // silent too and says why on standard error (where no sound server
    // answers, it never opens the module, so it has nothing to say).
    explicit SoundPlayer(const std::vector<SoundClip>& clips);
    // The same with the module taken from the first of `modulePaths` that
    // exists, loaded only where `serverMayAnswer`.
    SoundPlayer(const std::vector<SoundClip>& clips, const QStringList& modulePaths,
                const ServerCheck& serverMayAnswer = audioServerMayAnswer);
    // Plays through the effects that `makeEffect` makes; silent without one.
    SoundPlayer(const std::vector<SoundClip>& clips, const EffectMaker& makeEffect);
    ~SoundPlayer() override;
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Before load(), the clip asked for last is kept and plays once loaded.
    void play(std::string_view name) override;

    // Loads every clip (once; later calls do nothing).
    void load();

    // Whether clips were loaded for an output (false when silent).
    bool hasAudio() const;

private:
    void playLoaded(std::string_view name);

    struct LoadedClip {
        std::string name;
        std::unique_ptr<SoundEffect> effect;
    };
    std::function<EffectMaker()> output_;
    std::vector<SoundClip> toLoad_;   // until loaded
    bool loaded_ = false;
    std::string waiting_;             // asked for before loading; empty: none
    std::vector<LoadedClip> clips_;
    SoundEffect* current_ = nullptr;
};

} // namespace kestrova
