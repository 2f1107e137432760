#include "platform/url.h"

#include "platform/shellopen.h"

namespace kestrova {

TURL::TURL(QObject* parent) : QObject(parent) {}

QString TURL::prefixOf(TURLType type)
{
    switch (type) {
    case utFile: return QStringLiteral("file://");
    case utFtp: return QStringLiteral("ftp://");
    case utGopher: return QStringLiteral("gopher://");
    case utHttp: return QStringLiteral("http://");
    case utHttps: return QStringLiteral("https://");
    case utMailto: return QStringLiteral("mailto:");
    case utNews: return QStringLiteral("news:");
    case utTelnet: return QStringLiteral("telnet:");
    case utWais: return QStringLiteral("wais:");
    case utnone: break;
    }
    return QString();
}

bool TURL::OpenURL()
{
    if (url_.isEmpty())
        return false;
    return shellOpen(prefixOf(type_) + url_);
}

} // namespace kestrova
