#include "platform/soundplayer.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <QtGlobal>

#include <algorithm>
#include <cctype>
#include <utility>

namespace kestrova {

namespace {

// A clip of the system's audio output.
class SystemSoundEffect : public SoundEffect {
public:
    explicit SystemSoundEffect(const QString& source) { effect_.setSource(QUrl(QStringLiteral("qrc") + source)); }

    void play() override { effect_.play(); }
    void stop() override { effect_.stop(); }

private:
    QSoundEffect effect_;
};

QtMessageHandler previousMessageHandler = nullptr;

// Asking for the output list on a machine without a sound server makes the
// audio back end complain once; having no sound is normal for us, so that one
// complaint is dropped and everything else passes on.
void dropSoundServerComplaint(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("PulseAudioService:")))
        return;
    if (previousMessageHandler)
        previousMessageHandler(type, context, message);
}

bool audioWanted()
{
    // Asked before the device list, so a silenced run never touches the audio back end.
    if (qEnvironmentVariableIsSet("KESTROVA_NO_AUDIO"))
        return false;
    previousMessageHandler = qInstallMessageHandler(dropSoundServerComplaint);
    const bool haveOutput = !QMediaDevices::audioOutputs().isEmpty();
    qInstallMessageHandler(previousMessageHandler);
    return haveOutput;
}

SoundPlayer::EffectMaker systemOutput()
{
    if (!audioWanted())
        return {};
    return [](const QString& source) { return std::make_unique<SystemSoundEffect>(source); };
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

SoundPlayer::SoundPlayer(const std::vector<SoundClip>& clips) : output_(systemOutput), toLoad_(clips) {}

SoundPlayer::SoundPlayer(const std::vector<SoundClip>& clips, const EffectMaker& makeEffect)
    : output_([makeEffect] { return makeEffect; }), toLoad_(clips)
{
}

void SoundPlayer::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    if (const EffectMaker makeEffect = output_())
        for (const SoundClip& clip : toLoad_)
            clips_.push_back({clip.name, makeEffect(clip.source)});
    toLoad_.clear();
    if (!waiting_.empty())
        playLoaded(std::exchange(waiting_, std::string()));
}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::hasAudio() const
{
    return !clips_.empty();
}

void SoundPlayer::play(std::string_view name)
{
    if (loaded_)
        playLoaded(name);
    else if (std::ranges::any_of(toLoad_, [name](const SoundClip& clip) { return sameIgnoringCase(clip.name, name); }))
        waiting_ = name;
}

void SoundPlayer::playLoaded(std::string_view name)
{
    const auto found = std::ranges::find_if(clips_, [name](const LoadedClip& clip) {
        return sameIgnoringCase(clip.name, name);
    });
    if (found == clips_.end())
        return;
    if (current_)
        current_->stop();
    current_ = found->effect.get();
    current_->play();
}

} // namespace kestrova
