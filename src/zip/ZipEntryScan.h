#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <cstdint>

namespace quorvia::zip {

// One entry of an archive: the 26 bytes of its local header that follow the
// signature, exactly as stored, and its name.
struct ZipEntry {
    QByteArray header;  // 26 bytes
    QByteArray rawName; // the name's bytes as stored
    QString fileName;   // the name as text

    quint16 versionNeeded() const { return u16(0); }
    quint16 flags() const { return u16(2); }
    quint16 compressionMethod() const { return u16(4); }
    quint16 dosTime() const { return u16(6); }
    quint16 dosDate() const { return u16(8); }
    quint32 crc32() const { return u32(10); }
    quint32 compressedSize() const { return u32(14); }
    quint32 uncompressedSize() const { return u32(18); }
    quint16 fileNameLength() const { return u16(22); }
    quint16 extraFieldLength() const { return u16(24); }

private:
    quint16 u16(int at) const;
    quint32 u32(int at) const;
};

struct EntryScan {
    enum Result { Done, NoEntries, Failed };
    Result result = Done;
    QList<ZipEntry> entries;
    qint64 archiveStart = 0;
    QString failure; // the error text when Failed
};

// Reads the local headers of the archive in `file` from `start` on: first a
// byte search for the first signature (at most 60000 attempts), then one
// header after the other up to the central directory.
EntryScan scanZipEntries(QIODevice& file, qint64 fileSize, qint64 start);

} // namespace quorvia::zip
