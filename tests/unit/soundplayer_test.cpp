// The sound output's rules, through an output that writes down what it is asked,
// and the system output on a machine without audio, taken from the sound module
// only when loaded, only where a sound server may answer, and only where the
// module is usable.
#include "platform/soundmodule.h"
#include "platform/soundplayer.h"
#include "support/guiapplicationenvironment.h"

#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace kestrova {
namespace {

using Log = std::vector<std::string>;

// Restores an environment variable as the test found it.
class RestoredVariable {
public:
    explicit RestoredVariable(const char* name)
        : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), value_(qgetenv(name))
    {
    }
    ~RestoredVariable()
    {
        if (wasSet_)
            qputenv(name_, value_);
        else
            qunsetenv(name_);
    }
    RestoredVariable(const RestoredVariable&) = delete;
    RestoredVariable& operator=(const RestoredVariable&) = delete;

private:
    const char* name_;
    bool wasSet_;
    QByteArray value_;
};

// A Unix socket that takes connections and never says a word.
class MuteServer {
public:
    explicit MuteServer(const QString& path) : socket_(::socket(AF_UNIX, SOCK_STREAM, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = path.toLocal8Bit();
        std::strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
        listening_ = socket_ >= 0 && ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::listen(socket_, 4) == 0;
    }
    ~MuteServer()
    {
        if (socket_ >= 0)
            ::close(socket_);
    }
    MuteServer(const MuteServer&) = delete;
    MuteServer& operator=(const MuteServer&) = delete;
    bool listening() const { return listening_; }

private:
    int socket_;
    bool listening_ = false;
};

// Collects what is said through qWarning and the like while it lives.
class MessageCatcher {
public:
    MessageCatcher() : previous_(qInstallMessageHandler(catchMessage)) { caught().clear(); }
    ~MessageCatcher() { qInstallMessageHandler(previous_); }
    static QStringList& caught()
    {
        static QStringList messages;
        return messages;
    }

private:
    static void catchMessage(QtMsgType, const QMessageLogContext&, const QString& message) { caught().append(message); }
    QtMessageHandler previous_;
};

// The libraries this process has mapped, one per line of /proc/self/maps.
QString mappedFiles()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(maps.readAll());
}

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

// What the player is told of the sound server.
bool serverAnswers()
{
    return true;
}
bool noServer()
{
    return false;
}

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

    // Silenced, the system output loads neither the module nor Qt Multimedia.
    const RestoredVariable restore("KESTROVA_NO_AUDIO");
    qputenv("KESTROVA_NO_AUDIO", "1");
    const MessageCatcher messages;
    SoundPlayer silenced(kClips);
    silenced.play("entered");
    silenced.load();
    EXPECT_FALSE(silenced.hasAudio());
    SoundPlayer silencedWithModule(kClips, QStringList{QStringLiteral(KESTROVA_TEST_SOUND_MODULE)}, serverAnswers);
    silencedWithModule.load();
    EXPECT_FALSE(silencedWithModule.hasAudio());
    // Without a sound server there is nothing to play through, and nothing to say about it.
    qunsetenv("KESTROVA_NO_AUDIO");
    SoundPlayer serverless(kClips, QStringList{QStringLiteral(KESTROVA_TEST_SOUND_MODULE)}, noServer);
    serverless.play("entered");
    serverless.load();
    EXPECT_FALSE(serverless.hasAudio());
    const QString mapped = mappedFiles();
    ASSERT_TRUE(mapped.contains(QLatin1String("libQt6Core")));   // the maps were read
    EXPECT_FALSE(mapped.contains(QLatin1String("libQt6Multimedia")));
    EXPECT_FALSE(mapped.contains(QLatin1String(KESTROVA_SOUND_MODULE_FILE)));
    EXPECT_TRUE(MessageCatcher::caught().isEmpty()) << MessageCatcher::caught().join('\n').toStdString();
}

// A self-updated program may find an old module, none, or a damaged file: it
// stays silent, says why once, and never calls into what it found.
TEST(SoundPlayer, isSilentWithoutAUsableModuleAndSaysWhyOnce)
{
    const RestoredVariable restore("KESTROVA_NO_AUDIO");
    qunsetenv("KESTROVA_NO_AUDIO");
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString notALibrary = folder.filePath(QStringLiteral(KESTROVA_SOUND_MODULE_FILE));
    QFile junk(notALibrary);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("\x7f" "ELF but not really");
    junk.close();

    const struct {
        const char* what;
        QStringList paths;
        const char* reason;
    } cases[] = {
        {"no module", {folder.filePath(QStringLiteral("missing.so")), folder.filePath(QStringLiteral("gone/x.so"))},
         "missing.so"},
        {"not a library", {notALibrary}, "kestrova-sound.so"},
        {"another release's module", {QStringLiteral(KESTROVA_TEST_OTHER_SOUND_MODULE)}, KESTROVA_SOUND_MODULE_ENTRY_NAME},
    };
    for (const auto& [what, paths, reason] : cases) {
        SCOPED_TRACE(what);
        const MessageCatcher messages;
        SoundPlayer player(kClips, paths, serverAnswers);
        player.play("entered");
        player.load();
        player.load();
        player.play("winner");
        EXPECT_FALSE(player.hasAudio());
        ASSERT_EQ(MessageCatcher::caught().size(), 1);
        EXPECT_TRUE(MessageCatcher::caught().front().startsWith(QLatin1String("kestrova: no sound: ")));
        EXPECT_TRUE(MessageCatcher::caught().front().contains(QLatin1String(reason)))
            << MessageCatcher::caught().front().toStdString();
    }
}

// The player skips Qt Multimedia only on an "unreachable", so that answer must
// never come from a slow server or a missing client library.
TEST(AudioServer, isUnreachableOnlyWhereTheClientLibraryFindsNoServer)
{
    using namespace std::chrono_literals;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const RestoredVariable restore("PULSE_SERVER");
    {
        qputenv("PULSE_SERVER", "unix:" + folder.filePath(QStringLiteral("none")).toLocal8Bit());
        EXPECT_EQ(reachAudioServer(10s), AudioServerReach::unreachable);
        EXPECT_FALSE(audioServerMayAnswer());
    }
    {
        const MuteServer mute(folder.filePath(QStringLiteral("mute")));
        ASSERT_TRUE(mute.listening());
        qputenv("PULSE_SERVER", "unix:" + folder.filePath(QStringLiteral("mute")).toLocal8Bit());
        EXPECT_EQ(reachAudioServer(50ms), AudioServerReach::unknown);
    }
    EXPECT_EQ(reachAudioServer(10s, QStringLiteral("kestrova-no-such-library")), AudioServerReach::unknown);
}

TEST(SoundPlayer, loadsClipsForTheSystemOnlyWhereThereIsAnAudioOutput)
{
    const RestoredVariable restore("KESTROVA_NO_AUDIO");
    qunsetenv("KESTROVA_NO_AUDIO");
    QLibrary module(QStringLiteral(KESTROVA_TEST_SOUND_MODULE));
    const auto entry = reinterpret_cast<KestrovaSoundModuleEntry>(module.resolve(KESTROVA_SOUND_MODULE_ENTRY_NAME));
    ASSERT_NE(entry, nullptr) << module.errorString().toStdString();

    // The first module that exists is the one taken.
    const MessageCatcher messages;
    SoundPlayer player(kClips, {QStringLiteral("/nonexistent/kestrova-sound.so"), QStringLiteral(KESTROVA_TEST_SOUND_MODULE)});
    EXPECT_FALSE(player.hasAudio());   // nothing touched before it is asked to load
    player.load();
    EXPECT_EQ(player.hasAudio(), entry()->hasOutput());
    player.play("entered");
    EXPECT_TRUE(MessageCatcher::caught().isEmpty()) << MessageCatcher::caught().join('\n').toStdString();
}

} // namespace
} // namespace kestrova
