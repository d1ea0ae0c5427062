#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QString>

namespace quorvia::mail {

// Longest line SMTP lets through, CR LF not counted.
inline constexpr int kMaxDataLine = 998;

// One text line as quoted-printable: the encoded lines, each at most 76
// characters, every one but the last ending in the soft break "=". Only
// printable ASCII leaves it, so 7-bit SMTP carries any charset unchanged.
QByteArrayList QuotedPrintable(QByteArrayView line);

// A Subject value for a header line of which `used` characters are already
// taken: printable ASCII as it is, anything else as folded UTF-8 encoded-words.
// Control characters become blanks, so a value can never start a header of its own.
QByteArray SubjectValue(const QString& text, int used);

// A From or To value: non-ASCII display names become encoded-words, the
// addresses stay as typed. Control characters become blanks.
QByteArray AddressValue(const QString& text, int used);

// Breaks every line of a header text that is longer than kMaxDataLine: at the
// last blank or TAB that fits, else (a run without any) by inserting a fold.
QByteArray FoldLongLines(const QByteArray& header);

// The lines of a text, split at CR LF, lone CR and lone LF.
QByteArrayList SplitLines(const QByteArray& text);

} // namespace quorvia::mail
