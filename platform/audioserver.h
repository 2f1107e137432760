// Whether the system's sound server answers, asked through the server's own
// client library alone, so that a run without one never maps Qt Multimedia.
#pragma once

#include <QString>

#include <chrono>

namespace kestrova {

enum class AudioServerReach {
    unreachable,   // the client library found no server to talk to
    reached,       // a server accepted the connection
    unknown,       // no client library, or no answer within the patience given
};

// Connects to the PulseAudio-protocol server (PulseAudio itself, or PipeWire's
// pulse server) the way Qt Multimedia's audio back end does on Linux: the
// default server, starting one where the user's setup starts it on demand.
// Qt Multimedia has no other way to an audio output here, so `unreachable`
// means that it would find no output either. Blocks for at most `patience`.
// `clientLibrary` is the library's name as QLibrary takes it (version 0).
AudioServerReach reachAudioServer(std::chrono::milliseconds patience,
                                  const QString& clientLibrary = QStringLiteral("pulse"));

// The check the sound player makes before it loads Qt Multimedia: false only
// where the server certainly cannot be reached.
bool audioServerMayAnswer();

} // namespace kestrova
