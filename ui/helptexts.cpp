#include "ui/helptexts.h"

#include <QFile>

namespace kestrova {

namespace {

QString resourcePath(HelpSection section)
{
    switch (section) {
    case HelpSection::Overview: return QStringLiteral(":/help/overview.txt");
    case HelpSection::GamePlay: return QStringLiteral(":/help/gameplay.txt");
    case HelpSection::Scoring: return QStringLiteral(":/help/scoring.txt");
    case HelpSection::History: return QStringLiteral(":/help/history.txt");
    case HelpSection::License: return QStringLiteral(":/help/license.txt");
    }
    return {};
}

} // namespace

QString helpSectionText(HelpSection section)
{
    QFile file(resourcePath(section));
    // The texts are part of the executable; a missing one is a build fault.
    Q_ASSERT(file.exists());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace kestrova
