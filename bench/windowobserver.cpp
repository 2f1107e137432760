#include "bench/windowobserver.h"

#include <xcb/xtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include <poll.h>

namespace kestrova::bench {

namespace {

// xcb hands out replies and events from malloc.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using XcbPointer = std::unique_ptr<T, FreeDeleter>;

} // namespace

WindowObserver::WindowObserver(const std::string& displayName)
{
    connection_ = xcb_connect(displayName.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        throw std::runtime_error("cannot connect to the display " + displayName);
    }
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection_, &xcb_test_id);
    if (!damage || !damage->present || !xtest || !xtest->present) {
        xcb_disconnect(connection_);
        throw std::runtime_error("the display " + displayName + " lacks the DAMAGE or XTEST extension");
    }
    damageEventBase_ = damage->first_event;
    // The server speaks DAMAGE only to a client that has asked for its version.
    free(xcb_damage_query_version_reply(connection_, xcb_damage_query_version(connection_, 1, 1), nullptr));
    free(xcb_test_get_version_reply(connection_, xcb_test_get_version(connection_, 2, 2), nullptr));

    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    wmPid_ = atom("_NET_WM_PID");
    const std::uint32_t rootEvents = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &rootEvents);
    xcb_flush(connection_);
}

WindowObserver::~WindowObserver()
{
    xcb_disconnect(connection_);
}

xcb_atom_t WindowObserver::atom(const char* name)
{
    const XcbPointer<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::optional<WindowObserver::FirstFrame> WindowObserver::waitForFirstFrame(pid_t pid, Clock::time_point deadline)
{
    for (;;) {
        for (const auto& [id, window] : windows_) {
            if (window.pid == pid && window.paintedAt)
                return FirstFrame{id, *window.mappedAt, *window.paintedAt};
        }
        if (!handleEvents(deadline))
            return std::nullopt;
    }
}

std::optional<Clock::time_point> WindowObserver::waitForPaint(xcb_window_t window, Clock::time_point since,
                                                             Clock::time_point deadline)
{
    for (;;) {
        const auto found = windows_.find(window);
        if (found == windows_.end())
            return std::nullopt;
        if (found->second.lastPaintedAt >= since)
            return found->second.lastPaintedAt;
        if (!handleEvents(deadline))
            return std::nullopt;
    }
}

void WindowObserver::catchUp()
{
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    const Clock::time_point now = Clock::now();
    while (XcbPointer<xcb_generic_event_t> event{xcb_poll_for_queued_event(connection_)})
        handle(event.get(), now);
}

void WindowObserver::watch(xcb_window_t window)
{
    if (windows_.count(window) == 0)
        track(window);
}

bool WindowObserver::handleEvents(Clock::time_point deadline)
{
    XcbPointer<xcb_generic_event_t> event(xcb_poll_for_event(connection_));
    while (!event) {
        if (xcb_connection_has_error(connection_))
            throw std::runtime_error("lost the connection to the display");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0)
            return false;
        pollfd readable{xcb_get_file_descriptor(connection_), POLLIN, 0};
        ::poll(&readable, 1, static_cast<int>(std::min<long long>(left, 100)));
        event.reset(xcb_poll_for_event(connection_));
    }
    // Each event is stamped when it is read: the observer waits in poll(), so
    // that is as soon as the server sends it.
    const Clock::time_point now = Clock::now();
    do {
        handle(event.get(), now);
        event.reset(xcb_poll_for_queued_event(connection_));
    } while (event);
    return true;
}

void WindowObserver::handle(const xcb_generic_event_t* event, Clock::time_point now)
{
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_CREATE_NOTIFY) {
        const auto* created = reinterpret_cast<const xcb_create_notify_event_t*>(event);
        if (created->parent == root_)
            track(created->window);
        trace("created", created->window, now);
    } else if (type == XCB_MAP_NOTIFY) {
        noteMapped(reinterpret_cast<const xcb_map_notify_event_t*>(event)->window, now);
    } else if (type == XCB_DESTROY_NOTIFY) {
        windows_.erase(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
    } else if (type == damageEventBase_ + XCB_DAMAGE_NOTIFY) {
        const auto* damaged = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
        const auto found = windows_.find(damaged->drawable);
        if (found == windows_.end())
            return;
        Window& window = found->second;
        if (window.mappedAt && !window.paintedAt)
            window.paintedAt = now;
        window.lastPaintedAt = now;
        if (traceOrigin_)
            std::fprintf(stderr, "%9.3f ms  painted 0x%x: %dx%d at %d,%d%s\n",
                         millisecondsBetween(*traceOrigin_, now), damaged->drawable, damaged->area.width,
                         damaged->area.height, damaged->area.x, damaged->area.y,
                         window.mappedAt ? "" : " (before the map)");
    }
}

// Every new top-level window gets a damage object at once, long before its
// program can paint: a Qt window is painted only after the server has exposed
// it, and that follows the map. The map itself reaches us through the root
// window (no window manager) or through the window (after a window manager
// has reparented it), whichever comes first.
void WindowObserver::track(xcb_window_t window)
{
    Window tracked;
    tracked.damage = xcb_generate_id(connection_);
    const std::uint32_t events = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &events);
    xcb_damage_create(connection_, tracked.damage, window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    xcb_flush(connection_);
    windows_[window] = tracked;
}

void WindowObserver::noteMapped(xcb_window_t id, Clock::time_point now)
{
    const auto found = windows_.find(id);
    if (found == windows_.end() || found->second.mappedAt)
        return;
    found->second.mappedAt = now;
    found->second.pid = processOf(id);
    if (traceOrigin_)
        std::fprintf(stderr, "%9.3f ms  mapped 0x%x of process %d\n", millisecondsBetween(*traceOrigin_, now), id,
                     static_cast<int>(found->second.pid));
}

pid_t WindowObserver::processOf(xcb_window_t window)
{
    const XcbPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, wmPid_, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4)
        return 0;
    return static_cast<pid_t>(*static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get())));
}

void WindowObserver::trace(const char* what, xcb_window_t window, Clock::time_point now) const
{
    if (traceOrigin_)
        std::fprintf(stderr, "%9.3f ms  %s 0x%x\n", millisecondsBetween(*traceOrigin_, now), what, window);
}

void WindowObserver::focus(xcb_window_t window)
{
    catchUp();
    const XcbPointer<xcb_translate_coordinates_reply_t> place(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 10, 10), nullptr));
    if (place)
        xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, place->dst_x, place->dst_y, 0);
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

void WindowObserver::pressKeys(std::initializer_list<xcb_keysym_t> chord)
{
    catchUp();
    std::vector<xcb_keycode_t> keys;
    for (xcb_keysym_t keysym : chord)
        keys.push_back(keycodeOf(keysym));
    for (xcb_keycode_t key : keys)
        xcb_test_fake_input(connection_, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, root_, 0, 0, 0);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        xcb_test_fake_input(connection_, XCB_KEY_RELEASE, *key, XCB_CURRENT_TIME, root_, 0, 0, 0);
    xcb_flush(connection_);
}

void WindowObserver::click(xcb_window_t window, int x, int y)
{
    catchUp();
    const XcbPointer<xcb_translate_coordinates_reply_t> place(xcb_translate_coordinates_reply(
        connection_,
        xcb_translate_coordinates(connection_, window, root_, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)),
        nullptr));
    if (!place)
        return;
    xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, place->dst_x, place->dst_y, 0);
    xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, root_, 0, 0, 0);
    xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, root_, 0, 0, 0);
    xcb_flush(connection_);
}

xcb_keycode_t WindowObserver::keycodeOf(xcb_keysym_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const XcbPointer<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr));
    if (!mapping)
        throw std::runtime_error("cannot read the keyboard mapping");
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perKey = mapping->keysyms_per_keycode;
    for (int key = 0; key < count; ++key) {
        for (int column = 0; column < perKey; ++column) {
            if (keysyms[key * perKey + column] == keysym)
                return static_cast<xcb_keycode_t>(setup->min_keycode + key);
        }
    }
    throw std::runtime_error("no key gives the keysym " + std::to_string(keysym));
}

} // namespace kestrova::bench
