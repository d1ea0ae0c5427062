#include "mail/MailDate.h"

#include <QLocale>

namespace quorvia::mail {
namespace {

constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool boundarySafe(const QString& text) {
    static const QString extra = QStringLiteral("'()+_,-./:=? ");
    for (const QChar c : text)
        if (c.unicode() > 0x7F || !(c.isLetterOrNumber() || extra.contains(c)))
            return false;
    return !text.isEmpty();
}

} // namespace

QString MailDate(const QDateTime& when) {
    const QDate d = when.date();
    const QTime t = when.time();
    const int offset = when.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    return QString::asprintf("%s, %d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[d.dayOfWeek() - 1],
                             d.day(), kMonths[d.month() - 1], d.year(), t.hour(), t.minute(),
                             t.second(), offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

QString BoundaryTime(const QDateTime& when) {
    const QDate d = when.date();
    const QTime t = when.time();
    QString month = QLocale().monthName(d.month(), QLocale::ShortFormat);
    if (!boundarySafe(month))
        month = QLatin1String(kMonths[d.month() - 1]);
    return month +
           QString::asprintf("%02d%02d%02d%02d", d.day(), d.year() % 100, t.hour(), t.minute());
}

} // namespace quorvia::mail
