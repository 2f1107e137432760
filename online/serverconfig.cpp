#include "online/serverconfig.h"

#include "online/fetchprotocol.h"

#include <mutex>

namespace kestrova {

namespace {

bool isPort(const QByteArray& field)
{
    if (field.isEmpty())
        return true;
    bool number = false;
    const int port = field.toInt(&number);
    return number && field.front() != '+' && field.front() != '-' && port >= 1 && port <= 65535;
}

long timeoutSetting(const char* name, long fallback)
{
    bool number = false;
    const qlonglong value = qEnvironmentVariable(name).trimmed().toLongLong(&number);
    return number && value >= 1 && value <= fetch::kMaxTimeoutMs ? static_cast<long>(value) : fallback;
}

} // namespace

long ServerConfig::connectTimeoutMs()
{
    return timeoutSetting("KESTROVA_CONNECT_TIMEOUT_MS", fetch::kConnectTimeoutMs);
}

long ServerConfig::idleTimeoutMs()
{
    return timeoutSetting("KESTROVA_IDLE_TIMEOUT_MS", fetch::kIdleTimeoutMs);
}

QString ServerConfig::host()
{
    const QString chosen = qEnvironmentVariable("KESTROVA_SERVER").trimmed();
    return chosen.isEmpty() ? QStringLiteral(KESTROVA_SERVER_HOST) : chosen;
}

std::optional<QList<QByteArray>> ServerConfig::connectRoutes()
{
    QList<QByteArray> routes;
    const QByteArray setting = qgetenv("KESTROVA_CONNECT_TO").trimmed();
    if (setting.isEmpty())
        return routes;
    for (const QByteArray& part : setting.split(',')) {
        const QByteArray route = part.trimmed();
        if (!isRoute(route)) {
            static std::once_flag told;
            std::call_once(told, [] {
                qWarning("KESTROVA_CONNECT_TO is not a list of host:port:host:port routes; no request is sent");
            });
            return std::nullopt;
        }
        routes.append(route);
    }
    return routes;
}

bool ServerConfig::isRoute(const QByteArray& route)
{
    QList<QByteArray> fields;
    QByteArray field;
    bool inBrackets = false;
    for (const char c : route) {
        if (c == ':' && !inBrackets) {
            fields.append(field);
            field.clear();
            continue;
        }
        if (c == '[')
            inBrackets = true;
        else if (c == ']')
            inBrackets = false;
        else if (c <= ' ' || c == ',')
            return false;
        field.append(c);
    }
    fields.append(field);
    return !inBrackets && fields.size() == 4 && isPort(fields[1]) && isPort(fields[3]);
}

} // namespace kestrova
