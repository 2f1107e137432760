// Runs kestrova-server as the program it is, on a free loopback port, and
// talks raw HTTP to it, so tests and the benchmark see exactly the bytes a
// client would.
#pragma once

#include "support/programrun.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrova::testing {

struct Reply {
    int status = 0;
    std::string head;
    std::string body;
};

// Sends `request` as it is and reads the answer until the server closes.
inline Reply sendRaw(int port, const std::string& request)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval patience{10, 0};   // a hung server fails the test instead of hanging it
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Reply reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::size_t sent = 0;
        while (sent < request.size()) {
            const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        const std::string raw = drain(fd);
        const std::size_t split = raw.find("\r\n\r\n");
        reply.head = raw.substr(0, split);
        reply.body = split == std::string::npos ? std::string() : raw.substr(split + 4);
        if (raw.rfind("HTTP/1.", 0) == 0 && raw.size() > 12)
            reply.status = std::stoi(raw.substr(9, 3));
    }
    ::close(fd);
    return reply;
}

// A GET as the game sends it: HTTP/1.0, its user agent, no Host unless given.
inline Reply httpGet(int port, const std::string& target, const std::string& headers = "")
{
    return sendRaw(port, "GET " + target + " HTTP/1.0\r\nUser-Agent: Kestrova HTTPGet\r\nAccept: */*\r\n" +
                              headers + "\r\n");
}

// A server running in the background until terminate() or the end of the test.
class ServerProcess {
public:
    ServerProcess(const std::string& program, const std::vector<std::string>& options)
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        // Its stdout is read up to the announcement only: the access log
        // goes there only when `options` ask for it.
        std::vector<std::string> arguments{program, "--listen", "127.0.0.1:0", "--access-log", "off"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        pid_ = spawn(arguments, out[1], -1, {});
        ::close(out[1]);
        // The announcement comes once the port takes connections; if the
        // server dies first, the read ends empty.
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n')
            announcement_ += c;
        ::close(out[0]);
        const std::size_t colon = announcement_.rfind(':');
        if (announcement_.rfind("listening on 127.0.0.1:", 0) != 0 || colon == std::string::npos)
            throw std::runtime_error("kestrova-server did not start: '" + announcement_ + "'");
        port_ = std::stoi(announcement_.substr(colon + 1));
    }
    ~ServerProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int port() const { return port_; }
    const std::string& announcement() const { return announcement_; }

    // Sends SIGTERM and returns the exit code (minus the signal number when a
    // signal ended it).
    int terminate()
    {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return exitCodeOf(status);
    }

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string announcement_;
};

} // namespace kestrova::testing
