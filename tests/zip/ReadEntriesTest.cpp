// ReadEntries on archives we did not write: made by Python's zipfile, with
// and without data descriptors, behind a self-extractor stub, cut short, and
// files that are no archive at all.
#include "ZipFixture.h"

namespace quorvia::test {
namespace {

class ReadEntriesTest : public ZipFixture {
protected:
    void SetUp() override {
        ZipFixture::SetUp();
        zm.OnDirUpdate = [this](TZipMaster*) { ++dirUpdates; };
    }

    // The entries as "name crc size/compressed method".
    static QStringList described(const QList<ZipEntry>& entries) {
        QStringList out;
        for (const ZipEntry& e : entries)
            out << QString("%1 %2 %3/%4 %5")
                       .arg(e.fileName)
                       .arg(e.crc32(), 8, 16, QChar('0'))
                       .arg(e.uncompressedSize())
                       .arg(e.compressedSize())
                       .arg(e.compressionMethod());
        return out;
    }

    // What Python's reader says of the same archive, in the same form.
    static QStringList describedByPython(const QString& archive) {
        QStringList out;
        for (const auto& v : pythonList(archive)) {
            const QJsonObject e = v.toObject();
            out << QString("%1 %2 %3/%4 %5")
                       .arg(e["name"].toString())
                       .arg(quint32(e["crc"].toDouble()), 8, 16, QChar('0'))
                       .arg(e["size"].toInt())
                       .arg(e["csize"].toInt())
                       .arg(e["method"].toInt());
        }
        return out;
    }

    // The message ReadEntries raises, or "" when it raises none.
    QString raised() {
        try {
            zm.ReadEntries();
        } catch (const ZipError& e) {
            return e.message();
        }
        return {};
    }

    int dirUpdates = 0;
};

TEST_F(ReadEntriesTest, StoredAndDeflatedArchivesMatchPython) {
    for (const char* kind : {"stored", "deflated"}) {
        const QString archive = at(QString(kind) + ".zip");
        pythonMake(archive, kind);
        dirUpdates = 0;
        zm.SetZipFilename(archive);
        EXPECT_EQ(described(zm.EntryList()), describedByPython(archive)) << kind;
        EXPECT_EQ(zm.EntryList().size(), 3);
        EXPECT_EQ(zm.ArchiveStart(), 0);
        EXPECT_EQ(dirUpdates, 1);
        // The 26 header bytes are kept exactly as stored.
        EXPECT_EQ(zm.EntryList()[0].header, readAll(archive).mid(4, 26));
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ReadEntriesTest, EntriesWithDataDescriptorsAreAllFound) {
    const QString archive = at("stream.zip");
    pythonMake(archive, "descriptor");
    zm.SetZipFilename(archive);
    ASSERT_EQ(zm.EntryList().size(), 3) << boxes.shown.join("|").toStdString();
    QStringList names;
    for (const ZipEntry& e : zm.EntryList()) {
        names << e.fileName;
        EXPECT_EQ(e.flags() & 8, 8);
        EXPECT_EQ(e.compressedSize(), 0u); // as stored: the sizes follow the data
    }
    EXPECT_EQ(names, QStringList({"a.txt", "sub/b.bin", "c.txt"}));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ReadEntriesTest, Zip64LocalHeadersAreFollowed) {
    const QString archive = at("z64.zip");
    pythonMake(archive, "zip64");
    zm.SetZipFilename(archive);
    ASSERT_EQ(zm.EntryList().size(), 3) << boxes.shown.join("|").toStdString();
    EXPECT_EQ(zm.EntryList()[2].fileName, "c.txt");
}

TEST_F(ReadEntriesTest, SelfExtractorIsReadFromByte14000) {
    pythonMake(at("setup.exe"), "stub");
    zm.SetZipFilename(at("setup.exe"));
    EXPECT_EQ(zm.EntryList().size(), 3);
    EXPECT_EQ(zm.ArchiveStart(), 14000);
    EXPECT_TRUE(boxes.shown.isEmpty());

    // The same bytes under another extension are searched from the start,
    // where the stub's stray signature leads the reader astray.
    QFile::copy(at("setup.exe"), at("setup.bin"));
    zm.SetZipFilename(at("setup.bin"));
    EXPECT_TRUE(zm.EntryList().isEmpty());
    EXPECT_EQ(zm.ArchiveStart(), 102);
    EXPECT_EQ(boxes.shown, QStringList({"No valid zip entries found"}));
}

TEST_F(ReadEntriesTest, MissingFileGivesAnEmptyListAndAnUpdate) {
    zm.SetZipFilename(at("nothing-here.zip"));
    EXPECT_TRUE(zm.EntryList().isEmpty());
    EXPECT_EQ(dirUpdates, 1);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ReadEntriesTest, SignatureSearchStopsAfter60000Attempts) {
    pythonMake(at("real.zip"), "stored");
    const QByteArray archive = readAll(at("real.zip"));
    write("late.zip", QByteArray(60000, 'x') + archive);   // first "P" at attempt 60001
    write("inTime.zip", QByteArray(59999, 'x') + archive); // first "P" at attempt 60000
    zm.SetZipFilename(at("inTime.zip"));
    EXPECT_EQ(zm.EntryList().size(), 3);
    EXPECT_EQ(zm.ArchiveStart(), 59999);
    dirUpdates = 0;
    zm.SetZipFilename(at("late.zip"));
    EXPECT_TRUE(zm.EntryList().isEmpty());
    EXPECT_EQ(boxes.shown, QStringList({"No valid zip entries found"}));
    EXPECT_EQ(dirUpdates, 0);

    // A byte that breaks the signature is not looked at again as its start.
    boxes.shown.clear();
    write("stutter.zip", "PP" + archive.mid(1));
    zm.SetZipFilename(at("stutter.zip"));
    EXPECT_EQ(zm.EntryList().size(), 2); // the first entry's signature was missed
}

TEST_F(ReadEntriesTest, GarbageAndEmptyFilesHaveNoEntries) {
    write("empty.zip", {});
    write("text.zip", QByteArray("not an archive at all\n").repeated(100));
    for (const char* name : {"empty.zip", "text.zip"}) {
        boxes.shown.clear();
        zm.SetZipFilename(at(name));
        EXPECT_TRUE(zm.EntryList().isEmpty()) << name;
        EXPECT_EQ(boxes.shown, QStringList({"No valid zip entries found"})) << name;
    }
}

TEST_F(ReadEntriesTest, DamageAfterGoodEntriesRaisesTheRightError) {
    pythonMake(at("real.zip"), "stored");
    const QByteArray archive = readAll(at("real.zip"));
    const int second = archive.indexOf("PK\3\4", 4); // the second local header
    const int secondData = second + 30 + int(strlen("sub/b.bin"));
    struct Cut {
        QByteArray bytes;
        const char* error;
    };
    for (const Cut& cut :
         {Cut{archive.left(second + 33), "Error 2 reading Zip file"},
          Cut{archive.left(secondData + 100), "Error 3 reading Zip file"},
          Cut{archive.left(second) + QByteArray(25, 'x'), "Error reading Zip File"}}) {
        write("cut.zip", cut.bytes);
        // Through the property the error is shown, not thrown.
        boxes.shown.clear();
        zm.SetZipFilename(at("cut.zip"));
        EXPECT_EQ(boxes.shown, QStringList({cut.error}));
        EXPECT_EQ(raised(), cut.error);
    }
}

} // namespace
} // namespace quorvia::test
