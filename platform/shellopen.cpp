// The desktop's opener through Qt's desktop services (xdg-open and its kin).
#include "platform/shellopen.h"

#include <QDesktopServices>
#include <QUrl>

namespace kestrova {

namespace {

bool desktopOpen(const QString& target)
{
    // TolerantMode would rewrite the text; the opener must get it as written.
    return QDesktopServices::openUrl(QUrl(target, QUrl::StrictMode));
}

ShellOpener& installedOpener()
{
    static ShellOpener opener;
    return opener;
}

} // namespace

bool shellOpen(const QString& target)
{
    const ShellOpener& opener = installedOpener();
    return opener ? opener(target) : desktopOpen(target);
}

void setShellOpener(ShellOpener opener)
{
    installedOpener() = std::move(opener);
}

} // namespace kestrova
