#pragma once

#include <QString>
#include <climits>

namespace quorvia::mail {

// The decimal number at the start of a text after the characters in `skip`
// (digits up to the first other character; 0 when there are none). Clamped
// to INT_MAX so a long run of digits cannot overflow.
inline int LeadingNumber(const QString& text, QStringView skip = u" ") {
    qsizetype i = 0;
    while (i < text.size() && skip.contains(text[i]))
        ++i;
    long long n = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        n = n * 10 + (text[i].unicode() - u'0');
        if (n > INT_MAX)
            n = INT_MAX;
    }
    return int(n);
}

} // namespace quorvia::mail
