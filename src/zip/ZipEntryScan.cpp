#include "zip/ZipEntryScan.h"

#include <QFile>
#include <QtEndian>

namespace quorvia::zip {

namespace {

constexpr quint32 kLocalHeader = 0x04034B50;
constexpr quint32 kCentralHeader = 0x02014B50;
constexpr quint32 kEndOfCentral = 0x06054B50;
constexpr quint32 kDescriptor = 0x08074B50;
constexpr int kMaxAttempts = 60000;
constexpr qint64 kEndRecordSize = 22;
constexpr quint16 kDataDescriptorFlag = 0x0008;
constexpr quint16 kUtf8Flag = 0x0800;
constexpr quint16 kZip64Extra = 0x0001;

quint32 le32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}

class Scanner {
public:
    Scanner(QIODevice& file, qint64 fileSize) : m_file(file), m_size(fileSize) {}

    EntryScan run(qint64 start) {
        EntryScan scan;
        m_file.seek(start);
        if (!search(scan))
            return noEntries(scan);
        for (;;) {
            // At a local header, its signature read.
            const QByteArray header = m_file.read(26);
            QByteArray name;
            if (header.size() == 26)
                name = m_file.read(qFromLittleEndian<quint16>(header.constData() + 22));
            const quint16 nameLength =
                header.size() == 26 ? qFromLittleEndian<quint16>(header.constData() + 22) : 0;
            if (header.size() < 26 || name.size() < nameLength) {
                if (!scan.entries.isEmpty())
                    return failed(scan, "Error 2 reading Zip file");
                if (!search(scan))
                    return noEntries(scan);
                continue;
            }
            const quint16 flags = qFromLittleEndian<quint16>(header.constData() + 2);
            const quint16 extraLength = qFromLittleEndian<quint16>(header.constData() + 24);
            qint64 extraLeft = extraLength;
            qint64 dataSize = le32(header.constData() + 14);
            if (dataSize == 0xFFFFFFFF) {
                // ZIP64: the real size is in the extra field.
                const QByteArray extra = m_file.read(extraLength);
                extraLeft = 0;
                dataSize = zip64Size(header, extra);
                if (extra.size() < extraLength)
                    dataSize = -1;
            }
            const qint64 dataStart = m_file.pos() + extraLeft;
            if (dataSize == 0 && (flags & kDataDescriptorFlag))
                dataSize = descriptorDistance(dataStart);
            if (dataSize < 0 || dataStart + dataSize > m_size - kEndRecordSize) {
                if (!scan.entries.isEmpty())
                    return failed(scan, "Error 3 reading Zip file");
                if (!search(scan))
                    return noEntries(scan);
                continue;
            }
            if (!m_file.seek(m_file.pos() + extraLeft))
                return failed(scan, "Error 4 reading Zip file");
            if (!m_file.seek(dataStart + dataSize))
                return failed(scan, "Error 5 reading Zip file");
            ZipEntry entry;
            entry.header = header;
            entry.rawName = name;
            entry.fileName =
                (flags & kUtf8Flag) ? QString::fromUtf8(name) : QFile::decodeName(name);
            scan.entries.append(entry);

            quint32 signature = 0;
            do {
                const QByteArray bytes = m_file.read(4);
                if (bytes.size() < 4)
                    return failed(scan, "Error reading Zip File");
                signature = le32(bytes.constData());
            } while (signature != kLocalHeader && signature != kCentralHeader &&
                     signature != kEndOfCentral);
            if (signature != kLocalHeader)
                break;
        }
        scan.result = EntryScan::Done;
        return scan;
    }

private:
    // Byte by byte for "PK\3\4"; a byte that breaks the sequence is not looked
    // at again. The attempts are counted over the whole reading.
    bool search(EntryScan& scan) {
        static const char kSignature[4] = {'P', 'K', 3, 4};
        for (;;) {
            if (++m_attempts > kMaxAttempts)
                return false;
            char c = 0;
            if (!m_file.getChar(&c))
                return false;
            if (c != kSignature[0])
                continue;
            const qint64 at = m_file.pos() - 1;
            int matched = 1;
            while (matched < 4) {
                if (!m_file.getChar(&c))
                    return false;
                if (c != kSignature[matched])
                    break;
                ++matched;
            }
            if (matched == 4) {
                scan.archiveStart = at;
                return true;
            }
        }
    }

    // The compressed size from a ZIP64 extra field, -1 when there is none.
    static qint64 zip64Size(const QByteArray& header, const QByteArray& extra) {
        const bool sizeToo = le32(header.constData() + 18) == 0xFFFFFFFF;
        for (int at = 0; at + 4 <= extra.size();) {
            const quint16 id = qFromLittleEndian<quint16>(extra.constData() + at);
            const quint16 length = qFromLittleEndian<quint16>(extra.constData() + at + 2);
            if (at + 4 + length > extra.size())
                break;
            if (id == kZip64Extra) {
                // Local headers carry both sizes, uncompressed first.
                const int offset = sizeToo || length >= 16 ? 8 : 0;
                if (length >= offset + 8)
                    return qint64(qFromLittleEndian<quint64>(extra.constData() + at + 4 + offset) &
                                  0x7FFFFFFFFFFFFFFF);
                break;
            }
            at += 4 + length;
        }
        return -1;
    }

    // Entries written with a data descriptor have no size in their header:
    // the data ends where a descriptor follows whose compressed size equals
    // the distance travelled. -1 when there is none.
    qint64 descriptorDistance(qint64 dataStart) {
        const qint64 back = m_file.pos();
        qint64 found = -1;
        constexpr qint64 kChunk = 1 << 16;
        constexpr qint64 kOverlap = 24;
        for (qint64 base = dataStart; base < m_size && found < 0; base += kChunk) {
            m_file.seek(base);
            const QByteArray chunk = m_file.read(kChunk + kOverlap);
            const char* p = chunk.constData();
            for (qint64 i = 0; i + 16 <= chunk.size() && i < kChunk; ++i) {
                const qint64 distance = base + i - dataStart;
                const quint32 first = le32(p + i);
                if (first == kDescriptor) {
                    if (le32(p + i + 8) == quint32(distance) ||
                        (i + 24 <= chunk.size() &&
                         qFromLittleEndian<quint64>(p + i + 8) == quint64(distance))) {
                        found = distance;
                        break;
                    }
                } else if (le32(p + i + 4) == quint32(distance) && i + 16 <= chunk.size()) {
                    // A descriptor without its signature, followed by the next header.
                    const quint32 next = le32(p + i + 12);
                    if (next == kLocalHeader || next == kCentralHeader) {
                        found = distance;
                        break;
                    }
                }
            }
        }
        m_file.seek(back);
        return found;
    }

    static EntryScan& failed(EntryScan& scan, const char* text) {
        scan.result = EntryScan::Failed;
        scan.failure = QString::fromLatin1(text);
        return scan;
    }

    static EntryScan& noEntries(EntryScan& scan) {
        scan.result = EntryScan::NoEntries;
        return scan;
    }

    QIODevice& m_file;
    qint64 m_size;
    int m_attempts = 0;
};

} // namespace

quint16 ZipEntry::u16(int at) const {
    return header.size() >= at + 2 ? qFromLittleEndian<quint16>(header.constData() + at) : 0;
}

quint32 ZipEntry::u32(int at) const {
    return header.size() >= at + 4 ? qFromLittleEndian<quint32>(header.constData() + at) : 0;
}

EntryScan scanZipEntries(QIODevice& file, qint64 fileSize, qint64 start) {
    return Scanner(file, fileSize).run(start);
}

} // namespace quorvia::zip
