#include "platform/spawnedprogram.h"

#include <cerrno>
#include <cstring>

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

extern char** environ;

namespace kestrova {

std::unique_ptr<SpawnedProgram> SpawnedProgram::start(const std::string& program, std::string& error)
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    // The program's end blocks, as a standard input and output are expected to.
    const int theirs = ends[1];
    fcntl(theirs, F_SETFL, fcntl(theirs, F_GETFL) & ~O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, theirs, STDOUT_FILENO);
#ifdef __GLIBC__
    // Descriptors someone opened without close-on-exec stay ours too.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
    char* arguments[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(theirs);
    if (failed != 0) {
        close(ends[0]);
        error = std::strerror(failed);
        return nullptr;
    }
    return std::unique_ptr<SpawnedProgram>(new SpawnedProgram(pid, ends[0]));
}

SpawnedProgram::~SpawnedProgram()
{
    close(socket_);
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
}

long SpawnedProgram::send(std::string_view bytes)
{
    for (;;) {
        const ssize_t written = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written > 0)
            return written;
        if (written < 0 && errno == EINTR)
            continue;
        return written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? kWouldBlock : kBroken;
    }
}

long SpawnedProgram::receive(char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::recv(socket_, buffer, size, MSG_DONTWAIT);
        if (got > 0)
            return got;
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? kWouldBlock : kBroken;
    }
}

} // namespace kestrova
