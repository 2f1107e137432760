// The sound output's rules, through an output that writes down what it is asked,
// and the system output on a machine without audio.
#include "platform/soundplayer.h"
#include "support/guiapplicationenvironment.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <gtest/gtest.h>

namespace kestrova {
namespace {

using Log = std::vector<std::string>;

// Restores KESTROVA_NO_AUDIO as the test found it.
class NoAudioVariable {
public:
    NoAudioVariable() : wasSet_(qEnvironmentVariableIsSet("KESTROVA_NO_AUDIO")), value_(qgetenv("KESTROVA_NO_AUDIO")) {}
    ~NoAudioVariable()
    {
        if (wasSet_)
            qputenv("KESTROVA_NO_AUDIO", value_);
        else
            qunsetenv("KESTROVA_NO_AUDIO");
    }

private:
    bool wasSet_;
    QByteArray value_;
};

class LoggingEffect : public SoundEffect {
public:
    LoggingEffect(std::string source, Log& log) : source_(std::move(source)), log_(log) {}
    void play() override { log_.push_back("play " + source_); }
    void stop() override { log_.push_back("stop " + source_); }

private:
    std::string source_;
    Log& log_;
};

// An output whose effects log every play and stop, named by their clip's source.
struct LoggingOutput {
    SoundPlayer::EffectMaker maker()
    {
        return [this](const QString& source) {
            made.push_back(source.toStdString());
            return std::make_unique<LoggingEffect>(source.toStdString(), log);
        };
    }

    Log made;
    Log log;
};

const std::vector<SoundClip> kClips{
    {"entered", "entered.wav"}, {"winner", "winner.wav"}, {"winner1", "winner1.wav"}, {"winner2", "winner2.wav"}};

TEST(SoundPlayer, loadsOneEffectPerClipOnceAsked)
{
    LoggingOutput output;
    SoundPlayer player(kClips, output.maker());
    EXPECT_TRUE(output.made.empty());
    player.load();
    player.load();
    EXPECT_TRUE(player.hasAudio());
    EXPECT_EQ(output.made, (Log{"entered.wav", "winner.wav", "winner1.wav", "winner2.wav"}));
    EXPECT_TRUE(output.log.empty());
}

TEST(SoundPlayer, theLastClipAskedForBeforeLoadingPlaysOnceLoaded)
{
    LoggingOutput output;
    SoundPlayer player(kClips, output.maker());
    player.play("entered");
    player.play("Winner1");
    player.play("no such clip");   // leaves the one asked for alone
    EXPECT_TRUE(output.log.empty());
    player.load();
    EXPECT_EQ(output.log, Log{"play winner1.wav"});

    LoggingOutput quiet;
    SoundPlayer unasked(kClips, quiet.maker());
    unasked.load();
    EXPECT_TRUE(quiet.log.empty());
}

TEST(SoundPlayer, aNewClipCutsOffThePlayingOne)
{
    LoggingOutput output;
    SoundPlayer player(kClips, output.maker());
    player.load();
    player.play("entered");
    EXPECT_EQ(output.log, Log{"play entered.wav"});
    player.play("winner");
    EXPECT_EQ(output.log, (Log{"play entered.wav", "stop entered.wav", "play winner.wav"}));
    // The same clip again starts over.
    output.log.clear();
    player.play("winner");
    EXPECT_EQ(output.log, (Log{"stop winner.wav", "play winner.wav"}));
}

TEST(SoundPlayer, matchesWholeNamesWithoutRegardToCase)
{
    LoggingOutput output;
    SoundPlayer player(kClips, output.maker());
    player.load();
    player.play("WINNER2");
    player.play("Winner");
    EXPECT_EQ(output.log, (Log{"play winner2.wav", "stop winner2.wav", "play winner.wav"}));

    // An unknown name plays nothing and leaves the playing clip alone.
    output.log.clear();
    for (const char* stranger : {"", "winne", "winner12", "winner3", " winner", "winner.wav"})
        player.play(stranger);
    EXPECT_TRUE(output.log.empty());
}

TEST(SoundPlayer, isSilentWithoutAnOutput)
{
    SoundPlayer withoutMaker(kClips, SoundPlayer::EffectMaker{});
    withoutMaker.load();
    EXPECT_FALSE(withoutMaker.hasAudio());

    const NoAudioVariable restore;
    qputenv("KESTROVA_NO_AUDIO", "1");
    SoundPlayer silenced(kClips);
    silenced.play("entered");
    silenced.load();
    EXPECT_FALSE(silenced.hasAudio());
}

TEST(SoundPlayer, loadsClipsForTheSystemOnlyWhereThereIsAnAudioOutput)
{
    const NoAudioVariable restore;
    qunsetenv("KESTROVA_NO_AUDIO");
    SoundPlayer player(kClips);
    EXPECT_FALSE(player.hasAudio());   // nothing touched before it is asked to load
    player.load();
    EXPECT_EQ(player.hasAudio(), !QMediaDevices::audioOutputs().isEmpty());
}

} // namespace
} // namespace kestrova
