// Start-up of the game against a bare Qt main window with a menu bar, both
// built by this project and started alternately as a new user starts them.
// Under a private Xvfb it observes from outside, through the X server, when
// each program's window is mapped and first painted, and reads the peak
// resident memory from the kernel when the program ends (after a polite
// SIGTERM), once after start-up alone and once after one game played with
// real key and mouse events. Offscreen, where nothing can be seen from
// outside, it measures how long each program works before it settles to
// wait for input, and its CPU time and peak memory. Prints every figure for
// both programs and the game's as ratios of the bare window's.
//
//   startup_bench [--runs N] [--no-wm] [--no-offscreen] [--update-check]
//                 [--sound] [--game PATH] [--bare PATH] [--trace]
// --sound leaves the game's sound output on: it loads its audio back end
// after the first paint (silent where the machine has no audio output).
#include "bench/benchdisplay.h"
#include "bench/distribution.h"
#include "bench/spawnedprocess.h"
#include "bench/windowobserver.h"
#include "support/tempfolder.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace kestrova::bench;
using namespace std::chrono_literals;

constexpr auto kFirstFramePatience = 20s;
constexpr auto kSettlePatience = 10s;
constexpr auto kEndPatience = 10s;
// Settled: at most this much CPU time over this long a stretch.
constexpr auto kQuietStretch = 50ms;
constexpr auto kQuietAllowance = 500us;
// How long an input may take to show on the screen before the next one goes.
constexpr auto kInputPatience = 80ms;
// One game: Ctrl+S deals, then every stock card is turned.
constexpr int kStockClicks = 23;
constexpr int kGameInputs = 1 + kStockClicks;
// The stock's centre in the main window: board panel 15,33, stock 293,323,
// card 71 x 96, below a menu bar of about 22 pixels; off by a few pixels it
// still hits.
constexpr int kMenuBarHeight = 22;
constexpr int kStockX = 15 + 293 + 35;
constexpr int kStockY = kMenuBarHeight + 33 + 323 + 48;
constexpr xcb_keysym_t kControlKey = 0xffe3;   // Control_L
constexpr xcb_keysym_t kSKey = 0x73;           // s

[[noreturn]] void giveUp(const std::string& why)
{
    std::fprintf(stderr, "startup_bench: %s\n", why.c_str());
    std::exit(1);
}

struct Program {
    std::string name;
    std::string path;
};

struct Settings {
    int runs = 20;
    bool windowManager = true;
    bool offscreen = true;
    bool updateCheck = false;
    bool sound = false;
    bool trace = false;
    Program bare{"bare window", BARE_WINDOW_PATH};
    Program game{"Kestrova", KESTROVA_GAME_PATH};
};

// What one program gave over all its runs.
struct Figures {
    Distribution mappedMs, paintedMs, settledMs, startPeakMb;
    Distribution playedPeakMb, answeredInputs;
    Distribution offscreenSettledMs, offscreenCpuMs, offscreenPeakMb;
};

double megabytes(long kilobytes)
{
    return static_cast<double>(kilobytes) / 1024.0;
}

class StartupBench {
public:
    StartupBench(const Settings& settings, const std::filesystem::path& folder)
        : settings_(settings), folder_(folder), display_(settings.windowManager, (folder / "display.log").string()),
          observer_(display_.name())
    {
        std::filesystem::create_directories(folder_ / "xdg", ec_);
        std::filesystem::permissions(folder_ / "xdg", std::filesystem::perms::owner_all, ec_);
    }

    const BenchDisplay& display() const { return display_; }
    // How each program's runs ended, since the last forgetExitCodes().
    const std::vector<int>& exitCodesOf(const Program& program) { return exitCodes_[program.name]; }
    void forgetExitCodes() { exitCodes_.clear(); }

    // Under Xvfb: start, first frame, settle; optionally one game; SIGTERM.
    void runOnDisplay(const Program& program, bool playGame, Figures& figures)
    {
        SpawnedProcess process({program.path}, optionsFor("xcb"));
        if (settings_.trace) {
            std::fprintf(stderr, "--- %s%s\n", program.name.c_str(), playGame ? ", one game" : "");
            observer_.traceFrom(process.startedAt());
        }
        const auto frame = observer_.waitForFirstFrame(process.pid(), process.startedAt() + kFirstFramePatience);
        if (!frame)
            failed(program, "showed no painted window within 20 seconds");
        const auto settled = process.waitUntilSettled(kQuietStretch, kQuietAllowance, Clock::now() + kSettlePatience);
        if (!settled)
            failed(program, "did not settle within 10 seconds of its first paint");
        if (playGame) {
            observer_.focus(frame->window);
            repaintedAfter(frame->window, Clock::now());
            int answered = 0;
            observer_.pressKeys({kControlKey, kSKey});
            answered += repaintedAfter(frame->window, Clock::now());
            for (int click = 0; click < kStockClicks; ++click) {
                observer_.click(frame->window, kStockX, kStockY);
                answered += repaintedAfter(frame->window, Clock::now());
            }
            if (!process.waitUntilSettled(kQuietStretch, kQuietAllowance, Clock::now() + kSettlePatience))
                failed(program, "did not settle within 10 seconds of the game");
            figures.answeredInputs.add(answered);
        }
        const SpawnedProcess::Ending& ending = end(program, process);
        if (playGame) {
            figures.playedPeakMb.add(megabytes(ending.peakResidentKb));
            return;
        }
        figures.mappedMs.add(millisecondsBetween(process.startedAt(), frame->mappedAt));
        figures.paintedMs.add(millisecondsBetween(process.startedAt(), frame->paintedAt));
        figures.settledMs.add(millisecondsBetween(process.startedAt(), *settled));
        figures.startPeakMb.add(megabytes(ending.peakResidentKb));
    }

    void runOffscreen(const Program& program, Figures& figures)
    {
        SpawnedProcess process({program.path}, optionsFor("offscreen"));
        const auto settled =
            process.waitUntilSettled(kQuietStretch, kQuietAllowance, process.startedAt() + kFirstFramePatience);
        if (!settled)
            failed(program, "did not settle offscreen within 20 seconds");
        const SpawnedProcess::Ending& ending = end(program, process);
        figures.offscreenSettledMs.add(millisecondsBetween(process.startedAt(), *settled));
        figures.offscreenCpuMs.add(ending.cpuMs);
        figures.offscreenPeakMb.add(megabytes(ending.peakResidentKb));
    }

private:
    // Each run starts as a new user's first: a fresh data folder that holds
    // only the update option.
    SpawnedProcess::Options optionsFor(const std::string& platform)
    {
        const std::filesystem::path data = folder_ / "data";
        std::filesystem::remove_all(data, ec_);
        std::filesystem::create_directories(data);
        std::ofstream(data / "kestrova.ini") << "[kestrova]\nUpdate=" << (settings_.updateCheck ? "true" : "false")
                                              << "\n";
        std::filesystem::remove(output(), ec_);
        SpawnedProcess::Options options;
        options.environment = {{"DISPLAY", display_.name()},
                               {"QT_QPA_PLATFORM", platform},
                               {"KESTROVA_DATA_DIR", data.string()},
                               {"XDG_RUNTIME_DIR", (folder_ / "xdg").string()},
                               {"WAYLAND_DISPLAY", ""}};
        options.environment["KESTROVA_NO_AUDIO"] = settings_.sound ? "" : "1";
        options.outputFile = output().string();
        return options;
    }

    std::filesystem::path output() const { return folder_ / "program-output.txt"; }

    bool repaintedAfter(xcb_window_t window, Clock::time_point input)
    {
        return observer_.waitForPaint(window, input, input + kInputPatience).has_value();
    }

    const SpawnedProcess::Ending& end(const Program& program, SpawnedProcess& process)
    {
        process.sendSignal(SIGTERM);
        const SpawnedProcess::Ending& ending = process.waitForEnd(Clock::now() + kEndPatience);
        if (!ending.finished)
            failed(program, "did not end within 10 seconds of SIGTERM");
        exitCodes_[program.name].push_back(ending.exitCode);
        return ending;
    }

    [[noreturn]] void failed(const Program& program, const std::string& what)
    {
        std::ifstream printed(output());
        std::string line;
        while (std::getline(printed, line))
            std::fprintf(stderr, "  %s: %s\n", program.name.c_str(), line.c_str());
        throw std::runtime_error(program.name + " " + what);
    }

    const Settings& settings_;
    std::filesystem::path folder_;
    std::error_code ec_;
    BenchDisplay display_;
    WindowObserver observer_;
    std::map<std::string, std::vector<int>> exitCodes_;
};

// Runs `once` for both programs, `runs` times, in the order ABBA so that a
// drift of the machine falls on both alike.
void alternate(int runs, const Settings& settings, Figures& bare, Figures& game,
               const std::function<void(const Program&, Figures&)>& once)
{
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            once(settings.bare, bare);
            once(settings.game, game);
        } else {
            once(settings.game, game);
            once(settings.bare, bare);
        }
    }
}

void printRow(const char* what, const Distribution& bare, const Distribution& game)
{
    if (bare.empty() || game.empty())
        return;
    std::printf("%-40s %8.1f %8.1f %8.1f   %8.1f %8.1f %8.1f   %6.2fx\n", what, bare.median(), bare.min(), bare.max(),
                game.median(), game.min(), game.max(), game.median() / bare.median());
}

void printHeadline(const char* what, const Distribution& bare, const Distribution& game, double target)
{
    if (bare.empty() || game.empty())
        return;
    const double ratio = game.median() / bare.median();
    std::printf("  %-34s %5.2fx the bare window's (target at most %.1fx)%s\n", what, ratio, target,
                ratio <= target ? "" : "  <-- over");
}

Settings parse(int argc, char** argv)
{
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--runs" && hasValue)
            settings.runs = std::max(1, std::atoi(argv[++i]));
        else if (option == "--game" && hasValue)
            settings.game.path = argv[++i];
        else if (option == "--bare" && hasValue)
            settings.bare.path = argv[++i];
        else if (option == "--no-wm")
            settings.windowManager = false;
        else if (option == "--no-offscreen")
            settings.offscreen = false;
        else if (option == "--update-check")
            settings.updateCheck = true;
        else if (option == "--sound")
            settings.sound = true;
        else if (option == "--trace")
            settings.trace = true;
        else
            giveUp("usage: startup_bench [--runs N] [--no-wm] [--no-offscreen] [--update-check] [--sound] "
                   "[--game PATH] [--bare PATH] [--trace]");
    }
    return settings;
}

std::string exitSummary(const std::vector<int>& codes)
{
    std::map<int, int> counted;
    for (int code : codes)
        ++counted[code];
    std::string text;
    for (const auto& [code, times] : counted) {
        text += text.empty() ? "" : ", ";
        text += (code < 0 ? "signal " + std::to_string(-code) : "exit " + std::to_string(code)) + " x" +
                std::to_string(times);
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const Settings settings = parse(argc, argv);
    // Output cut short (a pager closed) must not skip stopping the display it started.
    std::signal(SIGPIPE, SIG_IGN);
    const kestrova::testing::TempFolder scratch;
    const std::filesystem::path& folder = scratch.path();

    Figures bare, game;
    int status = 0;
    try {
        StartupBench bench(settings, folder);
        std::printf("startup_bench: %d runs of each program, alternating, after one warm-up run each\n", settings.runs);
        std::printf("display: Xvfb %s %dx%dx24%s; offscreen: %s\n", bench.display().name().c_str(),
                    BenchDisplay::width, BenchDisplay::height,
                    bench.display().hasWindowManager() ? " with openbox" : ", no window manager",
                    settings.offscreen ? "QT_QPA_PLATFORM=offscreen" : "skipped");
        std::printf("each run: a fresh KESTROVA_DATA_DIR whose kestrova.ini holds only Update=%s (%s), %s\n",
                    settings.updateCheck ? "true" : "false",
                    settings.updateCheck ? "the update check at start asks the server that this shell's "
                                           "KESTROVA_SERVER and KESTROVA_CONNECT_TO name"
                                         : "no update check at start",
                    settings.sound ? "sound output on" : "KESTROVA_NO_AUDIO=1");
        std::fflush(stdout);

        Figures warmUp;
        bench.runOnDisplay(settings.bare, false, warmUp);
        bench.runOnDisplay(settings.game, false, warmUp);
        bench.forgetExitCodes();
        alternate(settings.runs, settings, bare, game,
                  [&](const Program& program, Figures& figures) { bench.runOnDisplay(program, false, figures); });
        alternate(settings.runs, settings, bare, game,
                  [&](const Program& program, Figures& figures) { bench.runOnDisplay(program, true, figures); });
        if (settings.offscreen)
            alternate(settings.runs, settings, bare, game,
                      [&](const Program& program, Figures& figures) { bench.runOffscreen(program, figures); });

        std::printf("\n%-40s %26s   %26s   %7s\n", "", "bare window", "Kestrova", "ratio");
        std::printf("%-40s %8s %8s %8s   %8s %8s %8s   %7s\n", "", "median", "min", "max", "median", "min", "max",
                    "medians");
        printRow("Xvfb: start to window mapped, ms", bare.mappedMs, game.mappedMs);
        printRow("Xvfb: start to first paint, ms", bare.paintedMs, game.paintedMs);
        printRow("Xvfb: start to settled, ms", bare.settledMs, game.settledMs);
        printRow("Xvfb: peak RSS after start-up, MB", bare.startPeakMb, game.startPeakMb);
        printRow("Xvfb: peak RSS after one game, MB", bare.playedPeakMb, game.playedPeakMb);
        printRow("offscreen: start to settled, ms", bare.offscreenSettledMs, game.offscreenSettledMs);
        printRow("offscreen: CPU time, start and end, ms", bare.offscreenCpuMs, game.offscreenCpuMs);
        printRow("offscreen: peak RSS, MB", bare.offscreenPeakMb, game.offscreenPeakMb);

        std::printf("\nheadline:\n");
        printHeadline("start to first paint (Xvfb)", bare.paintedMs, game.paintedMs, 1.2);
        printHeadline("peak RSS after start-up (Xvfb)", bare.startPeakMb, game.startPeakMb, 1.3);
        printHeadline("peak RSS after one game (Xvfb)", bare.playedPeakMb, game.playedPeakMb, 1.3);

        std::printf("\nnotes:\n");
        std::printf("  first paint: the first DAMAGE report on the program's top-level window after its map,\n"
                    "  seen by this benchmark's own X client; settled: from then on at most %.1f ms of CPU time\n"
                    "  in any %lld ms (the program waits for input).\n",
                    std::chrono::duration<double, std::milli>(kQuietAllowance).count(),
                    static_cast<long long>(kQuietStretch.count()));
        std::printf("  one game: Ctrl+S, then %d clicks on the stock, sent to both programs; inputs followed by a\n"
                    "  repaint on average: bare window %.1f of %d, Kestrova %.1f of %d.\n",
                    kStockClicks, bare.answeredInputs.mean(), kGameInputs, game.answeredInputs.mean(), kGameInputs);
        std::printf("  peak RSS: ru_maxrss from wait4() after SIGTERM; exits: bare window %s; Kestrova %s.\n",
                    exitSummary(bench.exitCodesOf(settings.bare)).c_str(),
                    exitSummary(bench.exitCodesOf(settings.game)).c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "startup_bench: %s\n", error.what());
        status = 1;
    }
    return status;
}
