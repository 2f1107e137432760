// The sound output on a machine without audio: silent, and never in the way.
#include "platform/soundplayer.h"
#include "support/guiapplicationenvironment.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <gtest/gtest.h>

namespace kestrova {
namespace {

// Restores KESTROVA_NO_AUDIO as the test found it.
class NoAudioVariable {
public:
    NoAudioVariable() : m_wasSet(qEnvironmentVariableIsSet("KESTROVA_NO_AUDIO")), m_value(qgetenv("KESTROVA_NO_AUDIO")) {}
    ~NoAudioVariable()
    {
        if (m_wasSet)
            qputenv("KESTROVA_NO_AUDIO", m_value);
        else
            qunsetenv("KESTROVA_NO_AUDIO");
    }

private:
    bool m_wasSet;
    QByteArray m_value;
};

void playEverything(SoundSink& sink)
{
    for (const char* name : {"entered", "startgame", "placecard", "replace", "invalid", "winner", "winner1",
                             "winner2", "WINNER2", "", "nosuchsound"})
        sink.play(name);
}

TEST(SoundPlayer, staysSilentWhenAudioIsSwitchedOffByTheEnvironment)
{
    const NoAudioVariable restore;
    qputenv("KESTROVA_NO_AUDIO", "1");
    SoundPlayer player;
    EXPECT_FALSE(player.hasAudio());
    playEverything(player);
}

TEST(SoundPlayer, loadsClipsOnlyWhereThereIsAnAudioOutput)
{
    const NoAudioVariable restore;
    qunsetenv("KESTROVA_NO_AUDIO");
    SoundPlayer player;
    EXPECT_EQ(player.hasAudio(), !QMediaDevices::audioOutputs().isEmpty());
    // Playing returns at once whatever the machine has; a clip cut off by the
    // next one is the normal case.
    playEverything(player);
    playEverything(player);
}

} // namespace
} // namespace kestrova
