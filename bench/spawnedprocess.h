// A program started by a benchmark and watched from outside: the moment it was
// started, the CPU time of its threads while it runs, and the peak resident
// memory and exit status the kernel reports when it ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::bench {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to);

class SpawnedProcess {
public:
    struct Options {
        // Set in, or (with an empty value) removed from, the benchmark's own environment.
        std::map<std::string, std::string> environment;
        // Where the program's standard output and error go; empty is /dev/null.
        std::string outputFile;
        // A descriptor the program inherits under its own number.
        int inheritedFd = -1;
    };

    struct Ending {
        bool finished = false;        // false: it overran its time and was killed
        int exitCode = 0;             // the exit code, or minus the signal that ended it
        long peakResidentKb = 0;      // ru_maxrss
        double cpuMs = 0;             // user and system time, all threads
        Clock::time_point endedAt;
    };

    // Throws std::runtime_error when the program cannot be started.
    SpawnedProcess(const std::vector<std::string>& arguments, const Options& options);
    // Kills and reaps the program if it still runs.
    ~SpawnedProcess();
    SpawnedProcess(const SpawnedProcess&) = delete;
    SpawnedProcess& operator=(const SpawnedProcess&) = delete;

    pid_t pid() const { return pid_; }
    Clock::time_point startedAt() const { return startedAt_; }
    bool running() const { return !ending_; }

    void sendSignal(int signo) const;

    // CPU time used so far by all its threads, to the nanosecond; nothing once it has ended.
    std::optional<std::chrono::nanoseconds> cpuTime() const;

    // Waits until the program has used at most `allowance` of CPU time over
    // `quietStretch`: its start-up work is done and it waits for input. Returns
    // when that quiet stretch began, or nothing when `deadline` passed or the
    // program ended first.
    std::optional<Clock::time_point> waitUntilSettled(std::chrono::milliseconds quietStretch,
                                                      std::chrono::microseconds allowance,
                                                      Clock::time_point deadline);

    // Waits for the end; past `deadline` the program is killed and the ending
    // says it did not finish.
    const Ending& waitForEnd(Clock::time_point deadline);

private:
    bool reap(int options);

    pid_t pid_ = -1;
    Clock::time_point startedAt_;
    std::optional<Ending> ending_;
};

} // namespace kestrova::bench
