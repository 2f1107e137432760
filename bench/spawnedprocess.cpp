#include "bench/spawnedprocess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace kestrova::bench {

namespace {

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& changes)
{
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value.empty())
            variables.erase(name);
        else
            variables[name] = value;
    }
    std::vector<std::string> merged;
    for (const auto& [name, value] : variables)
        merged.push_back(name + "=" + value);
    return merged;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

SpawnedProcess::SpawnedProcess(const std::vector<std::string>& arguments, const Options& options)
{
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = mergedEnvironment(options.environment);
    std::vector<char*> argv = pointersTo(argumentTexts);
    std::vector<char*> envp = pointersTo(environmentTexts);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string output = options.outputFile.empty() ? "/dev/null" : options.outputFile;
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);

    // The benchmark's own signal settings must not leak into what it measures.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    if (options.inheritedFd >= 0)
        ::fcntl(options.inheritedFd, F_SETFD, 0);
    startedAt_ = Clock::now();
    const int failed = ::posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
    if (options.inheritedFd >= 0)
        ::fcntl(options.inheritedFd, F_SETFD, FD_CLOEXEC);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " + arguments.front() + ": " + std::strerror(failed));
}

SpawnedProcess::~SpawnedProcess()
{
    if (!ending_) {
        ::kill(pid_, SIGKILL);
        reap(0);
    }
}

void SpawnedProcess::sendSignal(int signo) const
{
    if (!ending_)
        ::kill(pid_, signo);
}

std::optional<std::chrono::nanoseconds> SpawnedProcess::cpuTime() const
{
    if (ending_)
        return std::nullopt;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid_) + "/task";
    std::int64_t total = 0;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        // The first figure of schedstat is the time spent on a CPU, in nanoseconds.
        std::ifstream schedstat(task.path() / "schedstat");
        std::int64_t onCpu = 0;
        if (schedstat >> onCpu)
            total += onCpu;
    }
    if (error)
        return std::nullopt;
    return std::chrono::nanoseconds(total);
}

std::optional<Clock::time_point> SpawnedProcess::waitUntilSettled(std::chrono::milliseconds quietStretch,
                                                                  std::chrono::microseconds allowance,
                                                                  Clock::time_point deadline)
{
    struct Sample {
        Clock::time_point at;
        std::chrono::nanoseconds cpu;
    };
    std::deque<Sample> samples;
    while (Clock::now() < deadline) {
        if (reap(WNOHANG))
            return std::nullopt;
        const std::optional<std::chrono::nanoseconds> cpu = cpuTime();
        if (!cpu)
            return std::nullopt;
        const Sample now{Clock::now(), *cpu};
        // The oldest sample kept is the newest one at least a quiet stretch ago.
        while (samples.size() > 1 && now.at - samples[1].at >= quietStretch)
            samples.pop_front();
        if (!samples.empty() && now.at - samples.front().at >= quietStretch &&
            now.cpu - samples.front().cpu <= allowance)
            return samples.front().at;
        samples.push_back(now);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::nullopt;
}

const SpawnedProcess::Ending& SpawnedProcess::waitForEnd(Clock::time_point deadline)
{
    while (!ending_ && Clock::now() < deadline) {
        if (!reap(WNOHANG))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!ending_) {
        ::kill(pid_, SIGKILL);
        reap(0);
        ending_->finished = false;
    }
    return *ending_;
}

bool SpawnedProcess::reap(int options)
{
    if (ending_)
        return true;
    int status = 0;
    rusage usage{};
    pid_t got;
    do
        got = ::wait4(pid_, &status, options, &usage);
    while (got < 0 && errno == EINTR);
    if (got != pid_)
        return false;
    Ending ending;
    ending.finished = true;
    ending.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    ending.peakResidentKb = usage.ru_maxrss;
    ending.cpuMs = usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
                   usage.ru_stime.tv_usec / 1e3;
    ending.endedAt = Clock::now();
    ending_ = ending;
    return true;
}

} // namespace kestrova::bench
