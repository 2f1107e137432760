// Asks the PulseAudio-protocol server whether it is there, through its client
// library loaded at run time: the program does not link it, so a silenced run
// never maps it (see audioserver.h).
#include "platform/audioserver.h"

#include <QLibrary>

#include <pulse/context.h>
#include <pulse/mainloop.h>

#include <type_traits>

namespace kestrova {

namespace {

constexpr auto kPatience = std::chrono::milliseconds(500);

// The client library's calls the question needs, or none where one is missing.
struct PulseClient {
    decltype(&pa_mainloop_new) mainloopNew = nullptr;
    decltype(&pa_mainloop_get_api) mainloopApi = nullptr;
    decltype(&pa_mainloop_prepare) prepare = nullptr;
    decltype(&pa_mainloop_poll) poll = nullptr;
    decltype(&pa_mainloop_dispatch) dispatch = nullptr;
    decltype(&pa_mainloop_free) mainloopFree = nullptr;
    decltype(&pa_context_new) contextNew = nullptr;
    decltype(&pa_context_connect) connect = nullptr;
    decltype(&pa_context_get_state) state = nullptr;
    decltype(&pa_context_disconnect) disconnect = nullptr;
    decltype(&pa_context_unref) contextUnref = nullptr;

    bool resolve(QLibrary& library)
    {
        bool complete = true;
        const auto take = [&library, &complete](auto& call, const char* name) {
            call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(library.resolve(name));
            complete = complete && call;
        };
        take(mainloopNew, "pa_mainloop_new");
        take(mainloopApi, "pa_mainloop_get_api");
        take(prepare, "pa_mainloop_prepare");
        take(poll, "pa_mainloop_poll");
        take(dispatch, "pa_mainloop_dispatch");
        take(mainloopFree, "pa_mainloop_free");
        take(contextNew, "pa_context_new");
        take(connect, "pa_context_connect");
        take(state, "pa_context_get_state");
        take(disconnect, "pa_context_disconnect");
        take(contextUnref, "pa_context_unref");
        return complete;
    }
};

// Runs `mainloop` until `context` is connected or has failed, or `patience` is over.
AudioServerReach awaitConnection(const PulseClient& pulse, pa_mainloop* mainloop, pa_context* context,
                                 std::chrono::milliseconds patience)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + patience;
    for (;;) {
        const pa_context_state_t state = pulse.state(context);
        if (state == PA_CONTEXT_READY)
            return AudioServerReach::reached;
        if (!PA_CONTEXT_IS_GOOD(state))
            return AudioServerReach::unreachable;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return AudioServerReach::unknown;
        if (pulse.prepare(mainloop, static_cast<int>(left.count())) < 0 || pulse.poll(mainloop) < 0 ||
            pulse.dispatch(mainloop) < 0)
            return AudioServerReach::unknown;
    }
}

} // namespace

AudioServerReach reachAudioServer(std::chrono::milliseconds patience, const QString& clientLibrary)
{
    // Never unloaded (the library forbids it); where a server answers, Qt
    // Multimedia maps it again anyway.
    QLibrary library(clientLibrary, 0);
    PulseClient pulse;
    if (!library.load() || !pulse.resolve(library))
        return AudioServerReach::unknown;
    pa_mainloop* mainloop = pulse.mainloopNew();
    if (!mainloop)
        return AudioServerReach::unknown;
    AudioServerReach reach = AudioServerReach::unknown;
    if (pa_context* context = pulse.contextNew(pulse.mainloopApi(mainloop), "Kestrova")) {
        // As Qt Multimedia asks: the default server, with no flags, so that
        // where it would start a server on demand this does too.
        if (pulse.connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
            reach = AudioServerReach::unreachable;
        else
            reach = awaitConnection(pulse, mainloop, context, patience);
        pulse.disconnect(context);
        pulse.contextUnref(context);
    }
    pulse.mainloopFree(mainloop);
    return reach;
}

bool audioServerMayAnswer()
{
    return reachAudioServer(kPatience) != AudioServerReach::unreachable;
}

} // namespace kestrova
