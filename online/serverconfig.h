// Where the online features find the score server: its host, chosen at build
// time and overridable at run time, and optional routes that carry the host's
// port 80 to another address, for development and tests.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace kestrova {

class ServerConfig {
public:
    // KESTROVA_SERVER when set and not blank, else the build's KESTROVA_SERVER_HOST.
    static QString host();

    // KESTROVA_CONNECT_TO: routes in curl's --connect-to form, separated by
    // commas ("localhost:80:127.0.0.1:8080"); none when unset. Nothing when
    // a route is malformed (with one warning a run): requests must then fail
    // rather than silently go to the real server.
    static std::optional<QList<QByteArray>> connectRoutes();

    // How long a transfer may take to connect, and then go without moving a
    // byte, in milliseconds: 15,000 and 30,000, or KESTROVA_CONNECT_TIMEOUT_MS
    // and KESTROVA_IDLE_TIMEOUT_MS when set to a whole number from 1 to a
    // day's worth (for tests and slow networks; anything else is ignored).
    static long connectTimeoutMs();
    static long idleTimeoutMs();

    // One route: HOST:PORT:CONNECT-TO-HOST:CONNECT-TO-PORT, any part may be
    // empty, hosts may be bracketed IPv6 addresses, ports are 1 to 65535.
    static bool isRoute(const QByteArray& route);
};

} // namespace kestrova
