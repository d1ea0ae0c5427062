#include "app/RunFormat.h"

#include "platform/LocaleText.h"

namespace quorvia {

QString FormatSize(double bytes) {
    static const char* units[] = {"Bytes", "K", "Meg", "Gig", "Tet"};
    int k = 0;
    double value = bytes;
    if (value > 400) {
        do {
            ++k;
            value /= 1024;
        } while (value >= 1024 && k < 4);
    }
    return (platform::formatNumber(value, 2) + ' ' + units[k]).trimmed();
}

QString FormatElapsed(int64_t startTicks, int64_t endTicks) {
    const int64_t d = endTicks - startTicks;
    const int64_t seconds = (d / 1000) % 60;
    const int64_t totalMinutes = d / 60000;
    const int64_t hours = totalMinutes / 60;
    const int64_t minutes = totalMinutes - 60 * hours;
    auto two = [](int64_t v) {
        return (v <= 9 ? QStringLiteral("0") : QString()) + QString::number(v);
    };
    return two(hours) + ':' + two(minutes) + ':' + two(seconds);
}

} // namespace quorvia
