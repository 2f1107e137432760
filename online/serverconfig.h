// Where the online features find the score server: its host, chosen at build
// time and overridable at run time, and an optional route that carries the
// host's port 80 to another address, for development and tests.
#pragma once

#include <QByteArray>
#include <QString>

namespace kestrova {

class ServerConfig {
public:
    // KESTROVA_SERVER when set and not blank, else the build's KESTROVA_SERVER_HOST.
    static QString host();

    // KESTROVA_CONNECT_TO: routes in curl's --connect-to form, separated by
    // commas ("localhost:80:127.0.0.1:8080"); empty when unset.
    static QByteArray connectTo();
};

} // namespace kestrova
