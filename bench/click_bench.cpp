// Response time of the game window, measured inside the game's own process:
// seeded games played to their end by real mouse clicks (a deal, then the
// first playable card or else the stock, until the game is over), each timed
// from the click to its repaint; and the tally, help, about and high-score
// windows timed from the request to their first paint, in fresh processes for
// the first opening and again for reopenings, against a plain window opened
// the same way.
//
// Offscreen (the default) the clicks go in through Qt's window-system
// interface, as the platform plugin delivers a mouse, and a repaint counts
// from the end of the window's backing-store flush. With --xcb the game runs
// on a private Xvfb (with openbox unless --no-wm), the clicks go in through
// XTEST like a real mouse, and a repaint counts when the X server reports the
// window damaged, as seen by a second X client in the same process.
//
//   click_bench [--games N] [--window-runs N] [--xcb] [--no-wm]
#include "app/kestrovaapplication.h"
#include "app/programwindows.h"
#include "bench/benchdisplay.h"
#include "bench/distribution.h"
#include "bench/spawnedprocess.h"
#include "bench/windowobserver.h"
#include "game/card.h"
#include "game/random.h"
#include "platform/soundsink.h"
#include "support/tempfolder.h"
#include "ui/picturecontrol.h"

#include <QAction>
#include <QSocketNotifier>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace kestrova;
using namespace kestrova::bench;
using namespace std::chrono_literals;

constexpr double kFrameMs = 1000.0 / 60.0;
constexpr auto kRepaintPatience = 2s;
constexpr int kClickLimitPerGame = 200;
constexpr int kReopenings = 5;

[[noreturn]] void giveUp(const std::string& why)
{
    std::fprintf(stderr, "click_bench: %s\n", why.c_str());
    std::exit(1);
}

class SilentSounds : public SoundSink {
public:
    void play(std::string_view) override {}
};

// The game's application object, noting when each top-level window has
// finished a repaint (painting its widgets and flushing its backing store
// happen inside the handling of an UpdateRequest or an Expose) and how many
// mouse releases have reached a widget.
class TimedApplication : public KestrovaApplication {
public:
    using KestrovaApplication::KestrovaApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        const bool result = KestrovaApplication::notify(receiver, event);
        if (type == QEvent::MouseButtonRelease && receiver->isWidgetType()) {
            ++releases_;
        } else if (type == QEvent::Paint && receiver->isWidgetType()) {
            painted_.insert(static_cast<QWidget*>(receiver)->window());
        } else if (type == QEvent::UpdateRequest || type == QEvent::Expose) {
            // Not every one paints: only one that did ends a repaint.
            QWidget* window = topLevelOf(receiver);
            if (window && painted_.erase(window) != 0)
                repaintedAt_[window] = Clock::now();
        }
        return result;
    }

    int releases() const { return releases_; }
    Clock::time_point repaintedAt(QWidget* window) const
    {
        const auto found = repaintedAt_.find(window);
        return found == repaintedAt_.end() ? Clock::time_point{} : found->second;
    }

    // Runs the event loop until `done` holds; false when `deadline` passed first.
    bool runUntil(const std::function<bool()>& done, Clock::time_point deadline)
    {
        QTimer wakeUp;   // a bounded wait even when no event comes
        wakeUp.start(1);
        while (!done()) {
            if (Clock::now() > deadline)
                return false;
            processEvents(QEventLoop::WaitForMoreEvents);
        }
        processEvents();
        return true;
    }

    void runFor(Clock::duration time)
    {
        runUntil([] { return false; }, Clock::now() + time);
    }

private:
    static QWidget* topLevelOf(QObject* receiver)
    {
        if (receiver->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(receiver);
            return widget->isWindow() ? widget : nullptr;
        }
        if (receiver->isWindowType()) {
            for (QWidget* widget : topLevelWidgets())
                if (widget->windowHandle() == receiver)
                    return widget;
        }
        return nullptr;
    }

    int releases_ = 0;
    std::set<QWidget*> painted_;   // windows with widgets painted since their last repaint ended
    std::map<QWidget*, Clock::time_point> repaintedAt_;
};

struct Settings {
    int games = 20;
    int windowRuns = 10;
    bool xcb = false;
    bool windowManager = true;
    bool windowChild = false;   // one run of the window openings, for the parent to read
};

// The game as the benchmark drives it: its windows, and the way a click goes
// in and its repaint is seen.
class Session {
public:
    Session(TimedApplication& app, bool xcb) : app_(app), windows_(random_, sounds_)
    {
        windows_.main.show();
        if (!QTest::qWaitForWindowExposed(&windows_.main))
            giveUp("the main window was never shown");
        if (xcb) {
            observer_ = std::make_unique<WindowObserver>(qgetenv("DISPLAY").toStdString());
            observerReady_ = std::make_unique<QSocketNotifier>(observer_->fileDescriptor(), QSocketNotifier::Read);
            watch(&windows_.main);
        }
        app_.runFor(200ms);   // the first paint, and the window manager's frame
    }

    Tmain& main() { return windows_.main; }
    ProgramWindows& windows() { return windows_; }
    Random& random() { return random_; }
    bool onDisplay() const { return observer_ != nullptr; }

    // Clicks the control as a player would and returns the milliseconds to its
    // repaint: to the flush in the game, and (on a display) to the damage on
    // the X server. Nothing when no repaint came.
    struct Timing {
        double flushMs = 0;
        double serverMs = 0;
    };
    std::optional<Timing> click(PictureControl* control)
    {
        const QPoint place = control->mapTo(&windows_.main, control->rect().center());
        const int releasesBefore = app_.releases();
        settle();
        const Clock::time_point start = Clock::now();
        if (observer_)
            observer_->click(static_cast<xcb_window_t>(windows_.main.winId()), place.x(), place.y());
        else
            QTest::mouseClick(windows_.main.windowHandle(), Qt::LeftButton, {}, place);
        const bool repainted = app_.runUntil(
            [&] { return app_.releases() > releasesBefore && app_.repaintedAt(&windows_.main) > start; },
            start + kRepaintPatience);
        if (!repainted)
            return std::nullopt;
        Timing timing;
        timing.flushMs = millisecondsBetween(start, app_.repaintedAt(&windows_.main));
        if (observer_) {
            const auto damaged = observer_->waitForPaint(static_cast<xcb_window_t>(windows_.main.winId()), start,
                                                         Clock::now() + kRepaintPatience);
            if (!damaged)
                return std::nullopt;
            timing.serverMs = millisecondsBetween(start, *damaged);
        }
        return timing;
    }

    // Triggers `request` and returns the milliseconds until `window` has been
    // painted for the first time since.
    // `window` is asked for after the request, so that a window built on
    // first need is built inside the timing.
    std::optional<double> open(QAction* request, const std::function<QWidget*()>& windowOf)
    {
        settle();
        const Clock::time_point start = Clock::now();
        request->trigger();
        QWidget* window = windowOf();
        if (observer_) {
            watch(window);
            // A window shown again may only be flushed, not painted: the X
            // server's damage report is what tells, read as the game runs.
            const auto id = static_cast<xcb_window_t>(window->winId());
            std::optional<Clock::time_point> damaged;
            const auto painted = [&] {
                damaged = observer_->waitForPaint(id, start, Clock::now());
                return damaged.has_value();
            };
            if (!app_.runUntil(painted, start + kRepaintPatience))
                return std::nullopt;
            return millisecondsBetween(start, *damaged);
        }
        if (!app_.runUntil([&] { return app_.repaintedAt(window) > start; }, start + kRepaintPatience))
            return std::nullopt;
        return millisecondsBetween(start, app_.repaintedAt(window));
    }

    void close(QWidget* window)
    {
        window->hide();
        app_.runFor(50ms);
    }

private:
    // Once the X server has carried out everything the game has sent, and the
    // observer has read what that caused, a paint read later is a new one.
    void settle()
    {
        if (!observer_)
            return;
        serverRoundTrip();
        observer_->catchUp();
    }

    void serverRoundTrip()
    {
        xcb_connection_t* connection = app_.nativeInterface<QNativeInterface::QX11Application>()->connection();
        free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }

    // The observer can put its damage object on a window of ours only once the
    // X server has made it.
    void watch(QWidget* window)
    {
        serverRoundTrip();
        observer_->watch(static_cast<xcb_window_t>(window->winId()));
    }

    TimedApplication& app_;
    Random random_;
    SilentSounds sounds_;
    ProgramWindows windows_;
    std::unique_ptr<WindowObserver> observer_;
    std::unique_ptr<QSocketNotifier> observerReady_;   // wakes the event loop when the observer has news
};

// The first free face-up card that fits the discard, or 0.
int playableSlot(const GameTable& game)
{
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const int value = game.slotValue(slot);
        if (value != 0 && game.slotFaceUp(slot) && game.isFree(slot) &&
            areRankNeighbours(game.discardValue(), value))
            return slot;
    }
    return 0;
}

struct ClickFigures {
    std::map<std::string, Distribution> flushMs, serverMs;
    int missed = 0;
};

void playGames(Session& session, int games, ClickFigures& figures)
{
    Tmain& main = session.main();
    auto control = [&main](const QString& name) {
        auto* found = main.findChild<PictureControl*>(name);
        if (!found)
            giveUp("the game window has no control " + name.toStdString());
        return found;
    };
    auto timed = [&](const std::string& kind, PictureControl* target) {
        const auto timing = session.click(target);
        if (!timing) {
            ++figures.missed;
            return;
        }
        const std::string finalKind = main.game().gameon() || kind == "deal" ? kind : "game end";
        for (const std::string& row : {finalKind, std::string("all clicks")}) {
            figures.flushMs[row].add(timing->flushMs);
            if (session.onDisplay())
                figures.serverMs[row].add(timing->serverMs);
        }
    };

    session.click(control("button_namedone"));   // the name panel every start opens with
    for (int game = 0; game < games; ++game) {
        session.random().setState(static_cast<std::uint32_t>(7919 * (game + 1)));
        timed("deal", control("button_start"));
        for (int clicks = 0; main.game().gameon() && clicks < kClickLimitPerGame; ++clicks) {
            const int slot = playableSlot(main.game());
            if (slot != 0)
                timed("card", control(QStringLiteral("card_%1").arg(slot)));
            else
                timed("stock", control("image_stock"));
        }
    }
}

// The menu commands that open the secondary windows, and those windows.
struct WindowRequest {
    const char* name;
    const char* action;
    QWidget* (*window)(ProgramWindows&);
};
const WindowRequest kWindowRequests[] = {
    {"tally", "TallyList1", [](ProgramWindows& w) -> QWidget* { return &w.tallylist; }},
    {"help", "Help2", [](ProgramWindows& w) -> QWidget* { return &w.help(); }},
    {"about", "About1", [](ProgramWindows& w) -> QWidget* { return &w.about(); }},
    {"high scores", "ViewHighScoreList1", [](ProgramWindows& w) -> QWidget* { return &w.highscore(); }},
};

// The peer: a plain top-level window of the high-score window's size, made
// and shown at the request, as the game's own windows are; what opening any
// window costs on this display and window manager.
constexpr const char* kPlainWindow = "plain window";

// Prints "open NAME FIRST REOPEN..." in milliseconds (-1: not painted).
void openRepeatedly(Session& session, const char* name, QAction* request, const std::function<QWidget*()>& window)
{
    std::printf("open %s", name);
    for (int opening = 0; opening <= kReopenings; ++opening) {
        std::printf(" %.3f", session.open(request, window).value_or(-1));
        session.close(window());
    }
    std::printf("\n");
}

// One child's run: the plain window and then each of the game's windows
// opened for the first time, then reopened.
void openWindowsOnce(Session& session)
{
    std::unique_ptr<QWidget> plain;
    QAction plainRequest;
    QObject::connect(&plainRequest, &QAction::triggered, [&plain] {
        if (!plain) {
            plain = std::make_unique<QWidget>();
            plain->setWindowTitle(QStringLiteral("Plain"));
            plain->resize(603, 561);
        }
        plain->show();
    });
    openRepeatedly(session, kPlainWindow, &plainRequest, [&plain] { return plain.get(); });

    for (const WindowRequest& request : kWindowRequests) {
        auto* action = session.main().findChild<QAction*>(request.action);
        if (!action)
            giveUp(std::string("the game window has no action ") + request.action);
        openRepeatedly(session, request.name, action, [&] { return request.window(session.windows()); });
    }
    std::fflush(stdout);
}

struct WindowFigures {
    std::map<std::string, Distribution> firstMs, reopenMs;
    int missed = 0;
};

void readChildRun(const std::filesystem::path& output, WindowFigures& figures)
{
    std::ifstream printed(output);
    std::string line;
    while (std::getline(printed, line)) {
        if (line.rfind("open ", 0) != 0)
            continue;
        std::istringstream fields(line.substr(5));
        std::string name, word;
        std::vector<double> times;
        while (fields >> word) {
            char* end = nullptr;
            const double value = std::strtod(word.c_str(), &end);
            if (*end == '\0')
                times.push_back(value);
            else
                name += (name.empty() ? "" : " ") + word;
        }
        for (std::size_t i = 0; i < times.size(); ++i) {
            if (times[i] < 0)
                ++figures.missed;
            else
                (i == 0 ? figures.firstMs : figures.reopenMs)[name].add(times[i]);
        }
    }
}

void printDistributionHeader(const char* title)
{
    std::printf("\n%-28s %6s %8s %8s %8s %8s %8s\n", title, "count", "min", "median", "p90", "p99", "max");
}

void printDistribution(const std::string& what, const Distribution& values)
{
    if (values.empty())
        return;
    std::printf("%-28s %6d %8.2f %8.2f %8.2f %8.2f %8.2f\n", what.c_str(), values.count(), values.min(),
                values.median(), values.percentile(90), values.percentile(99), values.max());
}

void printClickTable(const char* title, const std::map<std::string, Distribution>& rows)
{
    printDistributionHeader(title);
    for (const char* kind : {"deal", "card", "stock", "game end", "all clicks"}) {
        const auto found = rows.find(kind);
        if (found != rows.end())
            printDistribution(kind, found->second);
    }
}

Settings parse(int argc, char** argv)
{
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--games" && hasValue)
            settings.games = std::max(1, std::atoi(argv[++i]));
        else if (option == "--window-runs" && hasValue)
            settings.windowRuns = std::max(0, std::atoi(argv[++i]));
        else if (option == "--xcb")
            settings.xcb = true;
        else if (option == "--no-wm")
            settings.windowManager = false;
        else if (option == "--window-child")
            settings.windowChild = true;
        else
            giveUp("usage: click_bench [--games N] [--window-runs N] [--xcb] [--no-wm]");
    }
    return settings;
}

// A new user's data folder: no tally, no score server asked at start.
void prepareDataFolder(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder / "data");
    std::filesystem::create_directories(folder / "xdg");
    std::filesystem::permissions(folder / "xdg", std::filesystem::perms::owner_all);
    std::ofstream(folder / "data" / "kestrova.ini") << "[kestrova]\nUpdate=false\n";
    qputenv("KESTROVA_DATA_DIR", QByteArray::fromStdString((folder / "data").string()));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString((folder / "xdg").string()));
    qputenv("KESTROVA_NO_AUDIO", "1");
}

int runWindowChild(int argc, char** argv, const Settings& settings)
{
    const kestrova::testing::TempFolder folder;
    prepareDataFolder(folder.path());
    TimedApplication app(argc, argv);
    Session session(app, settings.xcb);
    openWindowsOnce(session);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const Settings settings = parse(argc, argv);
    // Output cut short (a pager closed) must not skip stopping the display it started.
    std::signal(SIGPIPE, SIG_IGN);
    qputenv("QT_QPA_PLATFORM", settings.xcb ? "xcb" : "offscreen");
    if (settings.windowChild)
        return runWindowChild(argc, argv, settings);

    const kestrova::testing::TempFolder scratch;
    const std::filesystem::path& folder = scratch.path();
    int status = 0;
    try {
        std::unique_ptr<BenchDisplay> display;
        if (settings.xcb) {
            display = std::make_unique<BenchDisplay>(settings.windowManager, (folder / "display.log").string());
            qputenv("DISPLAY", QByteArray::fromStdString(display->name()));
        }
        prepareDataFolder(folder);
        std::printf("click_bench: %d seeded games by the greedy script, then %d fresh processes opening each window\n",
                    settings.games, settings.windowRuns);
        if (display)
            std::printf("platform: xcb on Xvfb %s%s; clicks through XTEST; a repaint is seen as damage on the "
                        "X server\n",
                        display->name().c_str(), display->hasWindowManager() ? " with openbox" : "");
        else
            std::printf("platform: offscreen; clicks through Qt's window-system interface; a repaint ends with its "
                        "backing-store flush\n");
        std::printf("data: a fresh KESTROVA_DATA_DIR with Update=false, KESTROVA_NO_AUDIO=1, silent sound output\n");
        std::fflush(stdout);

        ClickFigures clicks;
        {
            TimedApplication app(argc, argv);
            Session session(app, settings.xcb);
            playGames(session, settings.games, clicks);
        }
        printClickTable("click to flush, ms", clicks.flushMs);
        if (settings.xcb)
            printClickTable("click to X server damage, ms", clicks.serverMs);
        if (clicks.missed != 0)
            std::printf("clicks without a repaint within %lld s: %d\n",
                        static_cast<long long>(kRepaintPatience.count()), clicks.missed);

        WindowFigures windows;
        std::vector<std::string> childArguments{std::filesystem::read_symlink("/proc/self/exe").string(),
                                                "--window-child"};
        if (settings.xcb)
            childArguments.push_back("--xcb");
        const std::filesystem::path childOutput = folder / "window-child.txt";
        for (int run = 0; run < settings.windowRuns; ++run) {
            std::filesystem::remove(childOutput);
            SpawnedProcess child(childArguments, SpawnedProcess::Options{{}, childOutput.string(), -1});
            const SpawnedProcess::Ending& ending = child.waitForEnd(Clock::now() + 60s);
            if (!ending.finished || ending.exitCode != 0)
                giveUp("a window run failed; its output: " + childOutput.string());
            readChildRun(childOutput, windows);
        }
        if (settings.windowRuns > 0) {
            printDistributionHeader("request to first paint, ms");
            printDistribution(std::string(kPlainWindow) + ", first opening", windows.firstMs[kPlainWindow]);
            printDistribution(std::string(kPlainWindow) + ", reopening", windows.reopenMs[kPlainWindow]);
            for (const WindowRequest& request : kWindowRequests) {
                printDistribution(std::string(request.name) + ", first opening", windows.firstMs[request.name]);
                printDistribution(std::string(request.name) + ", reopening", windows.reopenMs[request.name]);
            }
            if (windows.missed != 0)
                std::printf("openings without a paint within %lld s: %d\n",
                            static_cast<long long>(kRepaintPatience.count()), windows.missed);
        }

        const auto& all = (settings.xcb ? clicks.serverMs : clicks.flushMs)["all clicks"];
        std::printf("\nheadline:\n");
        std::printf("  click to repaint, median %.2f ms (target at most 4 ms)%s\n", all.median(),
                    all.median() <= 4 ? "" : "  <-- over");
        std::printf("  click to repaint, p99 %.2f ms (target under one 60 Hz frame, %.1f ms)%s\n",
                    all.percentile(99), kFrameMs, all.percentile(99) < kFrameMs ? "" : "  <-- over");
        const Distribution& plainFirst = windows.firstMs[kPlainWindow];
        for (const WindowRequest& request : kWindowRequests) {
            const Distribution& first = windows.firstMs[request.name];
            if (first.empty())
                continue;
            std::printf("  %-12s first paint after the request, median %.2f ms, max %.2f ms (target within "
                        "one frame)%s\n",
                        request.name, first.median(), first.max(), first.max() <= kFrameMs ? "" : "  <-- over");
            if (!plainFirst.empty())
                std::printf("  %-12s   the plain window's median %.2f ms: %.2fx, %+.2f ms\n", "", plainFirst.median(),
                            first.median() / plainFirst.median(), first.median() - plainFirst.median());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "click_bench: %s\n", error.what());
        status = 1;
    }
    return status;
}
