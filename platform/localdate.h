// Today's date as the user's locale writes it in short form, and that form's separator.
#pragma once

#include <QDate>
#include <QString>

namespace kestrova {

// The date in the system locale's short date format, e.g. "07/12/2025" or "2025-12-07".
QString localShortDate(const QDate& date = QDate::currentDate());

// The separator between the fields of the system locale's short date format.
QString localDateSeparator();

// Month, day and two-digit year without leading zeros on month and day,
// joined by `separator`: 6 December 2026 gives "12/6/26" with "/".
QString monthDayYear(const QDate& date, const QString& separator);

// The first character of `format` that is neither a field letter, a quote nor a blank;
// a blank when only blanks separate the fields; "/" when nothing does.
QString dateSeparatorOf(const QString& format);

} // namespace kestrova
