// Runs one of the command-line tools as a user would and keeps what it
// printed on standard output; standard error is dropped.
#pragma once

#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kestrova::testing {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
};

inline ProgramRun runProgram(const std::string& program, const std::string& arguments)
{
    const std::string command = program + " " + arguments + " 2>/dev/null";
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 4096> buffer{};
    while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        run.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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
