#include "platform/soundplayer.h"

#include "resources/soundresources.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <QtGlobal>

namespace kestrova {

struct SoundPlayer::Clip {
    QString path;
    std::unique_ptr<QSoundEffect> effect;
};

namespace {

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

} // namespace

SoundPlayer::SoundPlayer()
{
    if (!audioWanted())
        return;
    for (std::string_view name : soundNames()) {
        Clip clip{soundResourcePath(name), std::make_unique<QSoundEffect>()};
        clip.effect->setSource(QUrl(QStringLiteral("qrc") + clip.path));
        m_effects.push_back(std::move(clip));
    }
}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::hasAudio() const
{
    return !m_effects.empty();
}

void SoundPlayer::play(std::string_view name)
{
    if (m_effects.empty())
        return;
    const QString path = soundResourcePath(name);
    if (path.isEmpty())
        return;
    for (Clip& clip : m_effects) {
        if (clip.path != path)
            continue;
        if (m_current)
            m_current->stop();
        m_current = clip.effect.get();
        m_current->play();
        return;
    }
}

} // namespace kestrova
