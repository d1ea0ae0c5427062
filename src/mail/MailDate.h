#pragma once

#include <QDateTime>
#include <QString>

namespace quorvia::mail {

// The Date header value: English names whatever the locale, and the time's
// offset from UTC, for example "Sun, 4 Oct 1998 14:05:09 +0200".
QString MailDate(const QDateTime& when);

// The time part of a multipart boundary ("mmmddyyhhnn"): the locale's short
// month name, then day, year, hours and minutes in two digits each. A month name
// with characters a boundary may not hold is taken in English instead.
QString BoundaryTime(const QDateTime& when);

} // namespace quorvia::mail
