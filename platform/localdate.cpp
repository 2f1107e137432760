// The local short date and its separator from the system locale.
#include "platform/localdate.h"

#include <QLocale>

namespace kestrova {

QString localShortDate(const QDate& date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString localDateSeparator()
{
    return dateSeparatorOf(QLocale::system().dateFormat(QLocale::ShortFormat));
}

QString monthDayYear(const QDate& date, const QString& separator)
{
    return QString::number(date.month()) + separator + QString::number(date.day()) + separator +
           QStringLiteral("%1").arg(date.year() % 100, 2, 10, QLatin1Char('0'));
}

QString dateSeparatorOf(const QString& format)
{
    // "dd. MM. yy" is separated by the dot, "d MMM yyyy" by the blank.
    bool sawBlank = false;
    for (const QChar c : format) {
        if (c.isSpace()) {
            sawBlank = true;
            continue;
        }
        if (c.isLetter() || c == u'\'')
            continue;
        return QString(c);
    }
    return sawBlank ? QStringLiteral(" ") : QStringLiteral("/");
}

} // namespace kestrova
