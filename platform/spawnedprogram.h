// A helper program started with one end of a socket pair as its standard
// input and output, and nothing else of ours. The other end, ours, is
// non-blocking, so an event loop can watch it. The program lives exactly as
// long as this object: the destructor kills and reaps it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace kestrova {

class SpawnedProgram {
public:
    // Null, with `error` saying why, when the socket or the program can't be made.
    static std::unique_ptr<SpawnedProgram> start(const std::string& program, std::string& error);
    ~SpawnedProgram();
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    // Our end of the socket, for a notifier to watch.
    int socket() const { return socket_; }

    // What send() and receive() make of one attempt.
    static constexpr long kWouldBlock = -1;   // try again when the socket is ready
    static constexpr long kBroken = -2;       // the program no longer listens or talks

    // The bytes taken (at least one), kWouldBlock or kBroken. Never raises SIGPIPE.
    long send(std::string_view bytes);
    // The bytes read (at least one), kWouldBlock, or kBroken at the end of
    // the program's output or on an error.
    long receive(char* buffer, std::size_t size);

private:
    SpawnedProgram(int pid, int socket) : pid_(pid), socket_(socket) {}

    int pid_;
    int socket_;
};

} // namespace kestrova
