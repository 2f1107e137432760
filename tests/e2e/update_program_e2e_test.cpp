// The self-update of the real program: the game's executable copied into a
// scratch program folder, run under a virtual display against the score
// server on loopback, its "update now" button clicked with real input, the
// installer signed as the README's release steps sign it. A signed installer
// is started with exactly its parameters and the game ends at once with exit
// code 0, saving nothing; a refused download, or one the game is closed or
// killed during, starts nothing and never moves the executable, and the next
// start removes what a killed download left.
#include "support/loopbackhttp.h"
#include "support/minisigntool.h"
#include "support/testhttpserver.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>

namespace kestrova {
namespace {

using namespace std::chrono_literals;
using testing::MinisignKeyPair;
using testing::TempFolder;
using Clock = std::chrono::steady_clock;

// The version the server offers, and the installer is released as.
const std::string kOffered = "1.0.1";
const std::string kDownload = "kessetup.exe.part";

// Renames and new files in a few folders, kept in the order they happened.
class FolderWatch {
public:
    FolderWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (fd_ < 0)
            throw std::runtime_error("test set-up: inotify_init1 failed");
    }
    ~FolderWatch() { ::close(fd_); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    void add(const std::filesystem::path& folder)
    {
        if (::inotify_add_watch(fd_, folder.c_str(),
                                IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE) < 0)
            throw std::runtime_error("test set-up: cannot watch " + folder.string());
    }

    // Waits for the next event of `mask` on a file named `name`, anywhere watched.
    bool waitFor(std::uint32_t mask, const std::string& name, std::chrono::milliseconds patience)
    {
        const auto deadline = Clock::now() + patience;
        while (true) {
            for (; seen_ < events_.size(); ++seen_)
                if ((events_[seen_].first & mask) && events_[seen_].second == name) {
                    ++seen_;
                    return true;
                }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(left.count())) > 0)
                readEvents();
        }
    }

    // Whether an event of `mask` on `name` has happened at any time so far.
    bool sawEver(std::uint32_t mask, const std::string& name)
    {
        readEvents();
        for (const auto& [eventMask, eventName] : events_)
            if ((eventMask & mask) && eventName == name)
                return true;
        return false;
    }

private:
    void readEvents()
    {
        alignas(inotify_event) char buffer[4096];
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            events_.emplace_back(event->mask, event->len ? std::string(event->name) : std::string());
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }

    int fd_;
    std::vector<std::pair<std::uint32_t, std::string>> events_;
    std::size_t seen_ = 0;
};

std::set<std::string> contentsOf(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class UpdateProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(programFolder);
        std::filesystem::create_directories(installerFolder);
        std::filesystem::copy_file(KESTROVA_GAME_PATH, game);
        // The installer records its arguments, one a line, in one step.
        const std::filesystem::path record = work / "arguments";
        testing::writeBytes(installer, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record.string() + ".part'\nmv '" +
                                           record.string() + ".part' '" + record.string() + "'\n");
        key.signRelease(installer, kOffered);
        watch.add(programFolder);
        watch.add(work.path());

        ::setenv("KESTROVA_SERVER", "localhost", 1);
        ::setenv("KESTROVA_UPDATE_PUBKEY", key.publicKeyText().c_str(), 1);
        ::setenv("KESTROVA_NO_AUDIO", "1", 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // The settings and the tally go to the program folder, as for a portable install.
        ::unsetenv("KESTROVA_DATA_DIR");
    }

    void TearDown() override
    {
        if (gamePid > 0) {
            ::kill(gamePid, SIGKILL);
            ::waitpid(gamePid, nullptr, 0);
        }
    }

    void startServer(bool withInstaller)
    {
        std::vector<std::string> options{"--db", (work / "scores.db").string(), "--version", kOffered};
        if (withInstaller)
            options.insert(options.end(), {"--installer-dir", installerFolder.string()});
        server = std::make_unique<testing::ServerProcess>(KESTROVA_SERVER_PATH, options);
        const std::string route = "localhost:80:127.0.0.1:" + std::to_string(server->port());
        ::setenv("KESTROVA_CONNECT_TO", route.c_str(), 1);
    }

    // Starts the game; returns its main window's id, empty when it shows none.
    std::string startGame()
    {
        const int log = ::open((work / "game.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        gamePid = testing::spawn({game.string()}, log, log, work.path());
        ::close(log);
        const std::string window =
            testing::runProgram({KESTROVA_XDOTOOL_PATH, "search", "--sync", "--all", "--onlyvisible", "--pid",
                                 std::to_string(gamePid), "--name", "^Kestrova$"})
                .out;
        return window.substr(0, window.find('\n'));
    }

    // Starts the game and clicks "update now" until the game starts its
    // download: the panel shows once the version check is answered.
    bool startGameAndAccept()
    {
        const std::string id = startGame();
        if (id.empty())
            return false;
        // Inside the button (27..153, 90..130 on the 205, 96 panel of the board
        // at 15, 33 below a menu bar of about 20 pixels), clear of the name
        // panel's DONE button beneath it.
        const auto deadline = Clock::now() + 60s;
        while (Clock::now() < deadline) {
            testing::runProgram({KESTROVA_XDOTOOL_PATH, "mousemove", "--window", id, "270", "259", "click", "1"});
            if (watch.waitFor(IN_CREATE, kDownload, 250ms))
                return true;
        }
        return false;
    }

    int waitForGame()
    {
        int status = 0;
        ::waitpid(gamePid, &status, 0);
        gamePid = -1;
        return testing::exitCodeOf(status);
    }

    // A refused download: the download is deleted, the executable never
    // moved, the game runs on until it is closed the ordinary way, and
    // nothing was started.
    void expectRefused()
    {
        ASSERT_TRUE(startGameAndAccept());
        ASSERT_TRUE(watch.waitFor(IN_DELETE, kDownload, 60s)) << "the download was not deleted";
        EXPECT_FALSE(watch.sawEver(IN_MOVED_FROM, "kestrova"));
        ::kill(gamePid, SIGTERM);
        EXPECT_EQ(waitForGame(), 0);
        EXPECT_EQ(contentsOf(programFolder), (std::set<std::string>{"kestrova", "kestrova.ini", "kestrovatally.tld"}));
        EXPECT_FALSE(std::filesystem::exists(work / "arguments"));
        EXPECT_EQ(MinisignKeyPair::slurp(game), MinisignKeyPair::slurp(KESTROVA_GAME_PATH));
    }

    TempFolder work;
    std::filesystem::path programFolder = work / "program";
    std::filesystem::path game = programFolder / "kestrova";
    std::filesystem::path installerFolder = work / "server";
    std::filesystem::path installer = installerFolder / "kessetup.exe";
    MinisignKeyPair key{work.path(), "release"};
    FolderWatch watch;
    std::unique_ptr<testing::ServerProcess> server;
    pid_t gamePid = -1;
};

TEST_F(UpdateProgramTest, ASignedInstallerIsStartedWithItsParametersAndTheGameEndsSavingNothing)
{
    startServer(true);
    ASSERT_TRUE(startGameAndAccept());
    EXPECT_EQ(waitForGame(), 0);
    ASSERT_TRUE(watch.waitFor(IN_MOVED_TO, "arguments", 60s)) << "the installer did not run";
    EXPECT_EQ(MinisignKeyPair::slurp(work / "arguments"), "/SP-\n/silent\n/noicons\n");
    // The executable waits under its backup name for the installer to put the new one in place.
    EXPECT_EQ(contentsOf(programFolder), (std::set<std::string>{"kessetup.exe", "kestrova.BAK"}));
    EXPECT_EQ(MinisignKeyPair::slurp(programFolder / "kestrova.BAK"), MinisignKeyPair::slurp(KESTROVA_GAME_PATH));
}

TEST_F(UpdateProgramTest, NoInstallerOnTheServer)
{
    startServer(false);
    expectRefused();
}

TEST_F(UpdateProgramTest, NoSignatureOnTheServer)
{
    std::filesystem::remove(installer.string() + ".minisig");
    startServer(true);
    expectRefused();
}

TEST_F(UpdateProgramTest, ASignatureByAnotherKey)
{
    MinisignKeyPair(work.path(), "stranger").sign(installer);
    startServer(true);
    expectRefused();
}

TEST_F(UpdateProgramTest, AnOlderReleaseOfferedAsTheNewOne)
{
    // Signed with the release key, as the release before the one offered.
    key.signRelease(installer, "1.0.0");
    startServer(true);
    expectRefused();
}

TEST_F(UpdateProgramTest, AnInstallerChangedAfterSigning)
{
    testing::writeBytes(installer, MinisignKeyPair::slurp(installer) + "touch '" + (work / "arguments").string() +
                                       "'\n");
    startServer(true);
    expectRefused();
}

TEST_F(UpdateProgramTest, ClosingTheGameDuringASlowDownloadEndsTheWait)
{
    // The version answers; the installer's head arrives, then the server stalls.
    testing::TestHttpServer slow;
    slow.queueReply({testing::TestHttpServer::response("200 OK", "1.0.1")});
    slow.setReply({"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\npartial", true});
    ::setenv("KESTROVA_CONNECT_TO", slow.route().c_str(), 1);
    ASSERT_TRUE(startGameAndAccept());
    ASSERT_TRUE(slow.waitForRequests(2));

    // A polite termination closes the main window while the click still waits.
    ::kill(gamePid, SIGTERM);
    EXPECT_EQ(waitForGame(), 0);
    EXPECT_TRUE(slow.waitForHangUps(1));
    EXPECT_FALSE(watch.sawEver(IN_MOVED_FROM, "kestrova"));
    EXPECT_EQ(contentsOf(programFolder), (std::set<std::string>{"kestrova", "kestrova.ini", "kestrovatally.tld"}));
    EXPECT_EQ(slow.requestCount(), 2u);
}

TEST_F(UpdateProgramTest, AGameKilledDuringAStalledDownloadKeepsItsExecutableAndTheNextStartTidiesUp)
{
    // The version answers; the installer's head arrives, then nothing more.
    testing::TestHttpServer slow;
    slow.queueReply({testing::TestHttpServer::response("200 OK", "1.0.1")});
    slow.setReply({"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\npartial", true});
    ::setenv("KESTROVA_CONNECT_TO", slow.route().c_str(), 1);
    ASSERT_TRUE(startGameAndAccept());
    ASSERT_TRUE(slow.waitForRequests(2));

    // Nothing polite: the game dies where it waits.
    ::kill(gamePid, SIGKILL);
    waitForGame();
    EXPECT_FALSE(watch.sawEver(IN_MOVED_FROM, "kestrova"));
    EXPECT_EQ(contentsOf(programFolder), (std::set<std::string>{"kestrova", kDownload}));
    EXPECT_EQ(MinisignKeyPair::slurp(game), MinisignKeyPair::slurp(KESTROVA_GAME_PATH));

    // The next start finds the download it left and removes it.
    ASSERT_FALSE(startGame().empty());
    EXPECT_TRUE(watch.waitFor(IN_DELETE, kDownload, 10s)) << "the leftover download was not removed";
    ::kill(gamePid, SIGTERM);
    EXPECT_EQ(waitForGame(), 0);
    EXPECT_EQ(contentsOf(programFolder), (std::set<std::string>{"kestrova", "kestrova.ini", "kestrovatally.tld"}));
}

} // namespace
} // namespace kestrova
