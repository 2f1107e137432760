#include "bench/benchdisplay.h"

#include <csignal>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace kestrova::bench {

namespace {

constexpr auto kPatience = std::chrono::seconds(10);

// Reads the display number Xvfb writes once it takes connections.
std::string readDisplayNumber(int fd, SpawnedProcess& server)
{
    std::string number;
    const Clock::time_point deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline && server.running()) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0)
            continue;
        char c = 0;
        if (::read(fd, &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    return number;
}

} // namespace

BenchDisplay::BenchDisplay(bool withWindowManager, const std::string& logFile)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make a pipe");
    try {
        server_ = std::make_unique<SpawnedProcess>(
            std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                                     std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten",
                                     "tcp", "-noreset"},
            SpawnedProcess::Options{{}, logFile, pipeFds[1]});
        ::close(pipeFds[1]);
        name_ = ":" + readDisplayNumber(pipeFds[0], *server_);
        ::close(pipeFds[0]);
    } catch (...) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw;
    }
    if (withWindowManager) {
        windowManager_ = std::make_unique<SpawnedProcess>(
            std::vector<std::string>{"/usr/bin/openbox", "--sm-disable"},
            SpawnedProcess::Options{{{"DISPLAY", name_}}, logFile, -1});
        waitForWindowManager();
    }
}

BenchDisplay::~BenchDisplay()
{
    for (std::unique_ptr<SpawnedProcess>* process : {&windowManager_, &server_}) {
        if (*process) {
            (*process)->sendSignal(SIGTERM);
            (*process)->waitForEnd(Clock::now() + std::chrono::seconds(5));
        }
    }
}

// The window manager is ready once it has claimed the root window.
void BenchDisplay::waitForWindowManager()
{
    xcb_connection_t* connection = xcb_connect(name_.c_str(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        throw std::runtime_error("cannot connect to the display " + name_);
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const char atomName[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof atomName - 1, atomName), nullptr);
    const xcb_atom_t check = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(atom);
    bool ready = false;
    const Clock::time_point deadline = Clock::now() + kPatience;
    while (!ready && Clock::now() < deadline && windowManager_->running()) {
        xcb_get_property_reply_t* property = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
        ready = property && xcb_get_property_value_length(property) > 0;
        free(property);
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    xcb_disconnect(connection);
    if (!ready)
        throw std::runtime_error("openbox did not start (is the openbox package installed?)");
}

} // namespace kestrova::bench
