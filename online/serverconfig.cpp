#include "online/serverconfig.h"

namespace kestrova {

QString ServerConfig::host()
{
    const QString chosen = qEnvironmentVariable("KESTROVA_SERVER").trimmed();
    return chosen.isEmpty() ? QStringLiteral(KESTROVA_SERVER_HOST) : chosen;
}

QByteArray ServerConfig::connectTo()
{
    return qgetenv("KESTROVA_CONNECT_TO").trimmed();
}

} // namespace kestrova
