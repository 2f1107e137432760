// Watches an X display from outside the programs on it: when a process's
// top-level window is mapped and when the program first paints into it (the
// DAMAGE extension), and gives that window keys and clicks through XTEST, as a
// player's keyboard and mouse would.
#pragma once

#include "bench/spawnedprocess.h"

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <initializer_list>
#include <map>
#include <optional>
#include <string>

namespace kestrova::bench {

class WindowObserver {
public:
    // Throws std::runtime_error when the display cannot be reached or lacks
    // the DAMAGE or XTEST extension.
    explicit WindowObserver(const std::string& displayName);
    ~WindowObserver();
    WindowObserver(const WindowObserver&) = delete;
    WindowObserver& operator=(const WindowObserver&) = delete;

    // Prints every event seen, in milliseconds after `origin`, to standard error.
    void traceFrom(Clock::time_point origin) { traceOrigin_ = origin; }

    struct FirstFrame {
        xcb_window_t window = XCB_WINDOW_NONE;
        Clock::time_point mappedAt;
        Clock::time_point paintedAt;
    };
    // Waits until a top-level window whose _NET_WM_PID is `pid` has been mapped
    // and then painted into; nothing when `deadline` passes first.
    std::optional<FirstFrame> waitForFirstFrame(pid_t pid, Clock::time_point deadline);

    // Gives `window` the keyboard focus and puts the pointer over it.
    void focus(xcb_window_t window);
    // Presses the keys in order and releases them in reverse: a chord such as Ctrl+S.
    void pressKeys(std::initializer_list<xcb_keysym_t> chord);
    // A left click at a place given in the window's own coordinates.
    void click(xcb_window_t window, int x, int y);
    // Watches a window this observer may have missed being created, such as
    // one of its own process's. The window must exist on the server.
    void watch(xcb_window_t window);
    // Readable when events have arrived, for an event loop to wake on.
    int fileDescriptor() const { return xcb_get_file_descriptor(connection_); }
    // Reads every event the server has sent so far (one round trip): what is
    // read later is then stamped after this moment.
    void catchUp();
    // When `window` was first painted into after `since`, waiting until
    // `deadline` (a deadline already past only reads what has arrived);
    // nothing when it was not.
    std::optional<Clock::time_point> waitForPaint(xcb_window_t window, Clock::time_point since,
                                                  Clock::time_point deadline);

private:
    struct Window {
        xcb_damage_damage_t damage = 0;
        std::optional<Clock::time_point> mappedAt;
        std::optional<Clock::time_point> paintedAt;   // the first paint after the map
        Clock::time_point lastPaintedAt;             // when the last paint was read
        pid_t pid = 0;                                // known from the map on
    };

    // Handles the events that have arrived, waiting for the first one until
    // `deadline`; false when none came.
    bool handleEvents(Clock::time_point deadline);
    void handle(const xcb_generic_event_t* event, Clock::time_point now);
    void track(xcb_window_t window);
    void noteMapped(xcb_window_t window, Clock::time_point now);
    pid_t processOf(xcb_window_t window);
    xcb_atom_t atom(const char* name);
    xcb_keycode_t keycodeOf(xcb_keysym_t keysym);
    void trace(const char* what, xcb_window_t window, Clock::time_point now) const;

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::uint8_t damageEventBase_ = 0;
    xcb_atom_t wmPid_ = XCB_ATOM_NONE;
    std::map<xcb_window_t, Window> windows_;
    std::optional<Clock::time_point> traceOrigin_;
};

} // namespace kestrova::bench
