#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// Numbers, dates and times in the user's locale (QLocale()).
namespace quorvia::platform {

// A number with thousands separators and the given decimals ("%.0n", "%7.2n").
QString formatNumber(double value, int decimals);
// A count with separators and no decimals ("%.0n").
QString formatCount(double value);
// Reads a decimal real number as the loader does; unreadable text is 0.
double parseNumber(const QString& text);
QString shortDate(const QDate& date);
// Hours, minutes and seconds without a time zone.
QString longTime(const QTime& time);
// Date and time in the user's default form, one blank between them.
QString dateTime(const QDateTime& when);

} // namespace quorvia::platform
