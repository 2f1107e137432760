// Detached starts through QProcess, which reports an exec that failed.
#include "platform/detachedstart.h"

#include <QProcess>

namespace kestrova {

namespace {

DetachedStarter& installedStarter()
{
    static DetachedStarter starter;
    return starter;
}

} // namespace

bool startDetached(const QString& program, const QString& parameters)
{
    const QStringList arguments = QProcess::splitCommand(parameters);
    const DetachedStarter& starter = installedStarter();
    return starter ? starter(program, arguments) : QProcess::startDetached(program, arguments);
}

void setDetachedStarter(DetachedStarter starter)
{
    installedStarter() = std::move(starter);
}

} // namespace kestrova
