#include "mail/MimeText.h"

#include <QStringList>

namespace quorvia::mail {
namespace {

constexpr int kQpLine = 76;       // RFC 2045: encoded lines, soft break included
constexpr int kWordLine = 76;     // RFC 2047: lines that hold encoded-words
constexpr int kWordBytes = 45;    // 60 base64 characters: a word of 72
constexpr int kWordOverhead = 12; // "=?utf-8?B?" and "?="

QString withoutControls(const QString& text) {
    QString clean = text;
    for (QChar& c : clean)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    return clean;
}

bool isAscii(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() > 0x7E)
            return false;
    return true;
}

// Lays out header atoms separated by blanks, folding before an atom that would
// take its line past kWordLine.
class HeaderWriter {
public:
    explicit HeaderWriter(int used) : m_lineLen(used) {}

    void atom(const QByteArray& a) {
        if (m_needSpace && m_lineLen + 1 + a.size() > kWordLine) {
            m_out += "\r\n ";
            m_lineLen = 1;
        } else if (m_needSpace) {
            m_out += ' ';
            ++m_lineLen;
        }
        m_out += a;
        m_lineLen += int(a.size());
        m_needSpace = true;
    }

    void comma() {
        m_out += ',';
        ++m_lineLen;
    }

    // Whole characters per word, so that each word decodes on its own.
    void encoded(const QString& text) {
        QByteArray chunk;
        int capacity = wordCapacity();
        for (qsizetype i = 0; i < text.size(); ++i) {
            qsizetype n = 1;
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                n = 2;
            const QByteArray bytes = text.mid(i, n).toUtf8();
            i += n - 1;
            if (!chunk.isEmpty() && chunk.size() + bytes.size() > capacity) {
                atom(word(chunk));
                chunk.clear();
                capacity = wordCapacity();
            }
            chunk += bytes;
        }
        if (!chunk.isEmpty())
            atom(word(chunk));
    }

    QByteArray text() const { return m_out; }

private:
    static QByteArray word(const QByteArray& bytes) {
        return "=?utf-8?B?" + bytes.toBase64() + "?=";
    }

    // Bytes a word may hold to fit the rest of this line; a full word when the
    // rest is too short to be worth it (the word then goes on a new line).
    int wordCapacity() const {
        const int room = kWordLine - m_lineLen - (m_needSpace ? 1 : 0) - kWordOverhead;
        const int bytes = qMin(kWordBytes, room / 4 * 3);
        return bytes < 12 ? kWordBytes : bytes;
    }

    QByteArray m_out;
    int m_lineLen;
    bool m_needSpace = false;
};

// Mailboxes split at the commas outside quotes and angle brackets.
QStringList mailboxes(const QString& text) {
    QStringList list;
    QString current;
    bool quoted = false;
    bool escaped = false;
    int angle = 0;
    for (const QChar c : text) {
        if (escaped) {
            escaped = false;
        } else if (quoted && c == u'\\') {
            escaped = true;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u'<') {
            ++angle;
        } else if (!quoted && c == u'>' && angle > 0) {
            --angle;
        } else if (!quoted && angle == 0 && c == u',') {
            list << current;
            current.clear();
            continue;
        }
        current += c;
    }
    list << current;
    return list;
}

QString unquoted(const QString& name) {
    if (name.size() < 2 || !name.startsWith(u'"') || !name.endsWith(u'"'))
        return name;
    QString plain;
    bool escaped = false;
    for (const QChar c : QStringView(name).mid(1, name.size() - 2)) {
        if (!escaped && c == u'\\') {
            escaped = true;
            continue;
        }
        escaped = false;
        plain += c;
    }
    return plain;
}

} // namespace

QByteArrayList QuotedPrintable(QByteArrayView line) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArrayList out;
    QByteArray current;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const uchar c = uchar(line[i]);
        const bool last = i + 1 == line.size();
        char token[3];
        int length = 1;
        // A blank or TAB at the end of a line would be lost on the way.
        if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last)) {
            token[0] = char(c);
        } else {
            token[0] = '=';
            token[1] = hex[c >> 4];
            token[2] = hex[c & 15];
            length = 3;
        }
        // Keep one place for the soft break while more is to come.
        if (current.size() + length > (last ? kQpLine : kQpLine - 1)) {
            out << current + '=';
            current.clear();
        }
        current.append(token, length);
    }
    out << current;
    return out;
}

QByteArray SubjectValue(const QString& text, int used) {
    const QString clean = withoutControls(text);
    // "=?" in plain text would be read as the start of an encoded-word.
    if (isAscii(clean) && !clean.contains(u"=?") && used + clean.size() <= kMaxDataLine)
        return clean.toLatin1();
    HeaderWriter writer(used);
    writer.encoded(clean);
    return writer.text();
}

QByteArray AddressValue(const QString& text, int used) {
    const QString clean = withoutControls(text);
    if (isAscii(clean))
        return clean.toLatin1();
    HeaderWriter writer(used);
    const QStringList list = mailboxes(clean);
    for (qsizetype k = 0; k < list.size(); ++k) {
        if (k > 0)
            writer.comma();
        const QString mailbox = list[k].trimmed();
        const qsizetype open = mailbox.lastIndexOf(u'<');
        const bool angled = open >= 0 && mailbox.endsWith(u'>');
        const QString name = angled ? mailbox.left(open).trimmed() : mailbox;
        if (isAscii(name)) {
            if (!name.isEmpty())
                writer.atom(name.toLatin1());
        } else {
            writer.encoded(unquoted(name));
        }
        if (angled)
            writer.atom(mailbox.mid(open).toUtf8());
    }
    return writer.text();
}

QByteArray FoldLongLines(const QByteArray& header) {
    QByteArrayList out;
    for (QByteArray line : SplitLines(header)) {
        while (line.size() > kMaxDataLine) {
            qsizetype at = kMaxDataLine;
            while (at > 0 && line[at] != ' ' && line[at] != '\t')
                --at;
            if (at > 0) {
                out << line.left(at);
                line = line.mid(at); // the blank starts the continuation
            } else {
                out << line.left(kMaxDataLine);
                line = ' ' + line.mid(kMaxDataLine);
            }
        }
        out << line;
    }
    return out.join("\r\n");
}

QByteArrayList SplitLines(const QByteArray& text) {
    QByteArrayList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines << text.mid(start, i - start);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    lines << text.mid(start);
    return lines;
}

} // namespace quorvia::mail
