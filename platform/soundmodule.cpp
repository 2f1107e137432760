// The sound module: the system's audio output through Qt Multimedia, built as
// a module of its own and loaded by the sound player only when it loads its
// clips (see soundmodule.h).
#include "platform/soundmodule.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QString>
#include <QUrl>
#include <QtGlobal>

namespace {

// A clip of the system's audio output.
class SystemSoundEffect : public kestrova::SoundEffect {
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

bool hasOutput()
{
    previousMessageHandler = qInstallMessageHandler(dropSoundServerComplaint);
    const bool haveOutput = !QMediaDevices::audioOutputs().isEmpty();
    qInstallMessageHandler(previousMessageHandler);
    return haveOutput;
}

kestrova::SoundEffect* makeEffect(const char16_t* source, std::size_t length)
{
    return new SystemSoundEffect(QString::fromUtf16(source, static_cast<qsizetype>(length)));
}

const KestrovaSoundModule kModule{hasOutput, makeEffect};

} // namespace

extern "C" Q_DECL_EXPORT const KestrovaSoundModule* KESTROVA_SOUND_MODULE_ENTRY()
{
    return &kModule;
}
