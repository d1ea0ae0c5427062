// The component itself: properties, the parameter block by field name, the
// length limits, loading the library, and the callback relay. Faults come
// from the probe libraries.
#include "ZipFixture.h"

namespace quorvia::test {
namespace {

using ZipMasterTest = ZipFixture;

TEST_F(ZipMasterTest, SetsAndSettersFollowTheirRules) {
    EXPECT_EQ(AddOpts{AddEncrypt}.bits(), 0x100); // declaration order is the bit order
    EXPECT_EQ(AddOpts({AddDirNames, AddHiddenFiles}).bits(), 0x81);
    EXPECT_EQ(zm.AddCompLevel(), 9);
    zm.SetDLLDirectory("/opt/zip/");
    EXPECT_EQ(zm.DLLDirectory(), "/opt/zip");
    zm.SetPassword(QString(300, 'p'));
    EXPECT_EQ(zm.Password().size(), 255);
}

TEST_F(ZipMasterTest, ParameterBlockFieldsFollowTheProperties) {
    QObject owner;
    TZipMaster master(&owner);
    master.SetFSpecArgs({"/a/*.*", "/b/c.txt"});
    master.SetZipFilename(at("none.zip"));
    master.SetPassword("pw");
    master.SetAddCompLevel(3);
    master.SetTrace(true); // trace without verbose still asks for detail
    master.SetAddOptions({AddRecurseDirs, AddHiddenFiles, AddEncrypt, AddFreshen, AddUpdate});
    ZipParamBlock block;
    ASSERT_EQ(block.fill(master), QString());
    const ZipParams& p = block.block();
    EXPECT_EQ(p.ownerHandle, &owner);
    EXPECT_EQ(p.caller, &master);
    EXPECT_EQ(p.callback, &TZipMaster::Callback);
    EXPECT_EQ(p.trace, -1);
    EXPECT_EQ(p.verbose, -1);
    EXPECT_STREQ(p.password, "pw");
    EXPECT_EQ(p.encrypt, -1);
    EXPECT_EQ(p.addHiddenFiles, -1);
    EXPECT_EQ(p.compLevel, 3);
    EXPECT_EQ(p.junkDirNames, -1); // folder names stripped unless asked for
    EXPECT_EQ(p.recurse, -1);
    EXPECT_EQ(p.update, -1);
    EXPECT_EQ(p.freshen, 0); // update wins
    EXPECT_EQ(p.forceDos, 0);
    EXPECT_EQ(p.move, 0);
    EXPECT_EQ(p.zipTime, 0);
    EXPECT_EQ(p.fileSpecCount, 2);
    EXPECT_STREQ(p.fileSpecs[0], "/a/*.*");
    EXPECT_STREQ(p.fileSpecs[1], "/b/c.txt");
    EXPECT_STREQ(p.zipFilename, QFile::encodeName(at("none.zip")).constData());
    EXPECT_EQ(std::vector<int32_t>({p.fixed8, p.fixed36, p.fixed40, p.fixed44, p.fixed48, p.fixed56,
                                    p.fixed64, p.fixed68, p.fixed80, p.fixed92, p.fixed104,
                                    p.fixed128, p.unset24, p.unset112, p.unset116}),
              std::vector<int32_t>({140, 0, 0, -1, 0, -1, 0, 0, -1, 0, 0, 7, 0, 0, 0}));

    master.SetTrace(false);
    master.SetAddOptions({AddDirNames, AddFreshen, AddMove, AddZipTime, AddForceDOS});
    ASSERT_EQ(block.fill(master), QString());
    EXPECT_EQ(p.verbose, 0);
    EXPECT_EQ(p.junkDirNames, 0);
    EXPECT_EQ(p.recurse, 0);
    EXPECT_EQ(p.freshen, -1);
    EXPECT_EQ(p.move, -1);
    EXPECT_EQ(p.zipTime, -1);
    EXPECT_EQ(p.forceDos, -1);
    EXPECT_EQ(p.encrypt, 0);
}

TEST_F(ZipMasterTest, ValuesLongerThanTheirBuffersAreRefusedBeforeLoading) {
    zm.SetTrace(true); // loading would show "ZIP DLL Loaded"
    const QString longName = "/" + QString(255, 'n');
    struct Case {
        QString archive, fileSpec, password, expected;
    };
    for (const Case& c :
         {Case{longName, "/a", "",
               "Error - zip file name too long (at most 255 bytes): " + longName},
          Case{"/a.zip", longName, "",
               "Error - file pattern too long (at most 255 bytes): " + longName},
          Case{"/a.zip", "/a", QString(81, 'p'), "Error - password too long (at most 80 bytes)"},
          // 80 two-byte characters are 160 bytes.
          Case{"/a.zip", "/a", QString(80, QChar(0xE9)),
               "Error - password too long (at most 80 bytes)"}}) {
        boxes.shown.clear();
        zm.SetFSpecArgs({c.fileSpec});
        zm.SetZipFilename(c.archive);
        zm.SetPassword(c.password);
        zm.AddFiles();
        EXPECT_EQ(boxes.shown, QStringList({c.expected}));
        EXPECT_EQ(zm.FSpecArgs(), QStringList({c.fileSpec})); // nothing lost
        EXPECT_FALSE(zm.AddBusy());
    }
    EXPECT_FALSE(TZipMaster::ZipLibraryLoaded());

    zm.SetFSpecArgs(QStringList(ZIPDLL_MAX_FSPECS + 1, "/a"));
    boxes.shown.clear();
    zm.AddFiles();
    EXPECT_EQ(boxes.shown, QStringList({"Error - too many file patterns (at most 1024)"}));
}

TEST_F(ZipMasterTest, NothingToZipOrNoArchiveIsReportedFirst) {
    zm.AddFiles();
    zm.SetFSpecArgs({"/a"});
    zm.AddFiles();
    EXPECT_EQ(boxes.shown,
              QStringList({"Error - no files to zip", "Error - no zip file specified"}));
}

TEST_F(ZipMasterTest, LibraryIsLoadedForTheAddOnlyAndFallsBackToTheSystemSearch) {
    write("src/a.txt", "a");
    zm.SetTrace(true);
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 1);
    EXPECT_EQ(boxes.shown.first(), "ZIP DLL Loaded");
    EXPECT_FALSE(TZipMaster::ZipLibraryLoaded());

    // Loaded beforehand, it stays loaded.
    zm.LoadZipLibrary();
    ASSERT_TRUE(TZipMaster::ZipLibraryLoaded());
    write("src/b.txt", "b");
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 2);
    EXPECT_TRUE(TZipMaster::ZipLibraryLoaded());
    zm.UnloadZipLibrary();
    EXPECT_FALSE(TZipMaster::ZipLibraryLoaded());

    // A folder without the library: neither the program's folder nor the
    // system has it here.
    zm.SetTrace(false);
    zm.SetDLLDirectory(at("src"));
    boxes.shown.clear();
    EXPECT_EQ(add(at("out.zip"), {at("src")}, {}), 0);
    EXPECT_EQ(boxes.shown, QStringList({"ZIPDLL.DLL not found"}));
    EXPECT_EQ(zm.FSpecArgs(), QStringList({at("src")}));
}

TEST_F(ZipMasterTest, MissingEntryPointsAreReported) {
    zm.SetDLLDirectory(PROBE_DIR "/probe-noexec/");
    EXPECT_EQ(add(at("out.zip"), {"callbacks"}, {}), 0);
    EXPECT_EQ(boxes.shown, QStringList({"ZipDllExec function not found in ZIPDLL.DLL", "(beep)",
                                        "Fatal DLL Error: abort exception"}));
    boxes.shown.clear();
    zm.SetDLLDirectory(PROBE_DIR "/probe-noversion");
    EXPECT_EQ(add(at("out.zip"), {"until-stopped"}, {}), 100);
    EXPECT_EQ(boxes.shown.first(), "GetZipDllVersion function not found in ZIPDLL.DLL");
}

TEST_F(ZipMasterTest, FaultInTheLibraryBeepsAndEndsTheAddCleanly) {
    zm.SetDLLDirectory(PROBE_DIR "/probe");
    EXPECT_EQ(add(at("out.zip"), {"throw"}, {}), 0);
    EXPECT_EQ(boxes.shown, QStringList({"(beep)", "Fatal DLL Error: abort exception"}));
    EXPECT_TRUE(zm.FSpecArgs().isEmpty());
    EXPECT_FALSE(TZipMaster::ZipLibraryLoaded());
}

TEST_F(ZipMasterTest, CallbacksReachTheEventsWithLineEndsTrimmed) {
    zm.SetDLLDirectory(PROBE_DIR "/probe");
    add(at("out.zip"), {"callbacks"}, {});
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress[0].type, NewFile);
    EXPECT_EQ(progress[0].name, "dir/big.bin");
    EXPECT_EQ(progress[0].size, 5000000000LL);
    EXPECT_EQ(progress[1].type, ProgressUpdate);
    EXPECT_EQ(progress[1].name, " ");
    EXPECT_EQ(progress[2].type, EndOfBatch);
    EXPECT_EQ(progress[2].size, 0);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].code, 7);
    EXPECT_EQ(messages[0].text, "abc");
    EXPECT_EQ(messages[1].text, "three\n"); // one line end and one before it
}

TEST_F(ZipMasterTest, CancelIsAnsweredAtTheNextCallbackAndClearedAfter) {
    zm.SetDLLDirectory(PROBE_DIR "/probe");
    int seen = 0;
    onProgress = [&](ProgressType, const QString&) {
        if (++seen == 4)
            zm.SetCancelRequested(true);
    };
    EXPECT_EQ(add(at("out.zip"), {"until-stopped"}, {}), 3);
    EXPECT_FALSE(zm.CancelRequested());

    // A nested add while one runs is refused without a word.
    seen = 0;
    onProgress = [&](ProgressType, const QString&) {
        if (++seen == 1) {
            EXPECT_TRUE(zm.AddBusy());
            zm.SetFSpecArgs({"throw"});
            zm.AddFiles();
        }
    };
    EXPECT_EQ(add(at("out.zip"), {"until-stopped"}, {}), 100);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ZipMasterTest, DamagedArchiveAfterAnAddIsOneBoxNotAnException) {
    zm.SetDLLDirectory(PROBE_DIR "/probe");
    EXPECT_NO_THROW(add(at("out.zip"), {"damaged"}, {}));
    EXPECT_EQ(zm.FilesAdded(), 1);
    EXPECT_EQ(boxes.shown, QStringList({"Error 2 reading Zip file"}));
    EXPECT_FALSE(zm.AddBusy());
}

TEST_F(ZipMasterTest, HandlerExceptionStopsTheLibraryAndIsRethrownAfterTheAdd) {
    zm.SetDLLDirectory(PROBE_DIR "/probe");
    onProgress = [&](ProgressType, const QString&) { throw std::runtime_error("handler"); };
    EXPECT_THROW(add(at("out.zip"), {"until-stopped"}, {}), std::runtime_error);
    EXPECT_EQ(zm.FilesAdded(), 0); // the first callback was answered with "stop"
    EXPECT_FALSE(zm.AddBusy());
    EXPECT_FALSE(TZipMaster::ZipLibraryLoaded());
}

} // namespace
} // namespace quorvia::test
