// Runs a program to its end as a user would and keeps what it printed, so
// tests and benchmarks see a tool's exit code and output exactly.
#pragma once

#include <cerrno>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrova::testing {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string drain(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

inline pid_t spawn(const std::vector<std::string>& arguments, int outFd, int errFd, const std::filesystem::path& cwd)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0)
        ::_exit(127);
    ::dup2(outFd, STDOUT_FILENO);
    if (errFd >= 0)
        ::dup2(errFd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

inline int exitCodeOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Runs a program to its end and collects what it printed.
inline ProgramRun runProgram(const std::vector<std::string>& arguments, const std::filesystem::path& cwd = {})
{
    int out[2], err[2];
    // Close-on-exec: otherwise a daemon the program leaves running (a
    // database server) would hold the pipes open and the reads never end.
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = spawn(arguments, out[1], err[1], cwd);
    ::close(out[1]);
    ::close(err[1]);
    ProgramRun run;
    run.out = drain(out[0]);   // the outputs are a few lines: no pipe fills up
    run.err = drain(err[0]);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = exitCodeOf(status);
    return run;
}

// Runs `program` with `arguments` as a shell command line, so that tests can
// write quoted arguments ('' or ' 7') as a user types them.
inline ProgramRun runProgram(const std::string& program, const std::string& arguments)
{
    return runProgram({"/bin/sh", "-c", program + " " + arguments});
}

// The pieces between separators; a trailing separator leaves an empty last piece.
inline std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

} // namespace kestrova::testing
