#include "platform/LocaleText.h"

#include <QLocale>
#include <QRegularExpression>

namespace quorvia::platform {

QString formatNumber(double value, int decimals) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

QString formatCount(double value) {
    return formatNumber(value, 0);
}

double parseNumber(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? value : 0.0;
}

QString shortDate(const QDate& date) {
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString longTime(const QTime& time) {
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    // Drop the time-zone field and the blank before it.
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return QLocale().toString(time, format.trimmed());
}

QString dateTime(const QDateTime& when) {
    return shortDate(when.date()) + ' ' + longTime(when.time());
}

} // namespace quorvia::platform
