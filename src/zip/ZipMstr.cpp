#include "zip/ZipMstr.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QtDebug>
#include <cstring>

namespace quorvia::zip {

namespace {

constexpr int32_t kTrue = ZIPDLL_TRUE;
constexpr int32_t kFalse = ZIPDLL_FALSE;
constexpr qint64 kSelfExtractorStub = 14000;
constexpr int kPasswordLimit = 255;

int32_t flag(bool on) {
    return on ? kTrue : kFalse;
}

// The library handle and its entry points, shared by every instance.
struct ZipLibrary {
    QLibrary library;
    ZipDllExecFunction exec = nullptr;
    GetZipDllVersionFunction version = nullptr;
};

ZipLibrary& zipLibrary() {
    static ZipLibrary shared;
    return shared;
}

// A zero-terminated copy in a buffer of `capacity` bytes; false when it does not fit.
bool copyInto(std::vector<char>& buffer, const QByteArray& bytes, size_t capacity) {
    if (size_t(bytes.size()) >= capacity)
        return false;
    buffer.assign(capacity, '\0');
    std::memcpy(buffer.data(), bytes.constData(), size_t(bytes.size()));
    return true;
}

// Clears AddBusy and CancelRequested however the add ends.
class AddScope {
public:
    AddScope(bool& busy, bool& cancel) : m_busy(busy), m_cancel(cancel) {
        m_busy = true;
        m_cancel = false;
    }
    ~AddScope() {
        m_cancel = false;
        m_busy = false;
    }
    AddScope(const AddScope&) = delete;
    AddScope& operator=(const AddScope&) = delete;

private:
    bool& m_busy;
    bool& m_cancel;
};

} // namespace

QString ZipParamBlock::fill(const TZipMaster& master) {
    const QStringList& specs = master.FSpecArgs();
    if (specs.size() > ZIPDLL_MAX_FSPECS)
        return QString("Error - too many file patterns (at most %1)").arg(ZIPDLL_MAX_FSPECS);
    if (!copyInto(m_zipFilename, QFile::encodeName(master.ZipFilename()), ZIPDLL_NAME_BUFFER))
        return QString("Error - zip file name too long (at most %1 bytes): %2")
            .arg(ZIPDLL_NAME_BUFFER - 1)
            .arg(master.ZipFilename());
    if (!copyInto(m_password, master.Password().toUtf8(), ZIPDLL_PASSWORD_BUFFER))
        return QString("Error - password too long (at most %1 bytes)")
            .arg(ZIPDLL_PASSWORD_BUFFER - 1);
    m_specs.assign(size_t(specs.size()), {});
    for (int i = 0; i < specs.size(); ++i)
        if (!copyInto(m_specs[size_t(i)], QFile::encodeName(specs[i]), ZIPDLL_NAME_BUFFER))
            return QString("Error - file pattern too long (at most %1 bytes): %2")
                .arg(ZIPDLL_NAME_BUFFER - 1)
                .arg(specs[i]);

    const AddOpts options = master.AddOptions();
    ZipParams& p = m_params;
    p = ZipParams{};
    p.ownerHandle = master.OwnerHandle();
    p.caller = const_cast<TZipMaster*>(&master);
    p.fixed8 = 140;
    p.callback = &TZipMaster::Callback;
    p.trace = flag(master.Trace());
    p.password = m_password.data();
    p.encrypt = flag(options.contains(AddEncrypt));
    p.addHiddenFiles = flag(options.contains(AddHiddenFiles));
    p.fixed36 = 0;
    p.fixed40 = 0;
    p.fixed44 = kTrue;
    p.fixed48 = 0;
    p.verbose = flag(master.Verbose() || master.Trace());
    p.fixed56 = kTrue;
    p.compLevel = master.AddCompLevel();
    p.fixed64 = 0;
    p.fixed68 = 0;
    p.junkDirNames = flag(!options.contains(AddDirNames));
    p.recurse = flag(options.contains(AddRecurseDirs));
    p.fixed80 = kTrue;
    p.forceDos = flag(options.contains(AddForceDOS));
    p.move = flag(options.contains(AddMove));
    p.fixed92 = 0;
    p.update = flag(options.contains(AddUpdate));
    p.freshen = flag(options.contains(AddFreshen) && !options.contains(AddUpdate));
    p.fixed104 = 0;
    p.zipTime = flag(options.contains(AddZipTime));
    p.fileSpecCount = int32_t(specs.size());
    p.zipFilename = m_zipFilename.data();
    p.fixed128 = 7;
    for (size_t i = 0; i < m_specs.size(); ++i)
        p.fileSpecs[i] = m_specs[i].data();
    return {};
}

TZipMaster::TZipMaster(QObject* Owner) : QObject(Owner), m_ownerHandle(Owner) {}

TZipMaster::~TZipMaster() = default;

void TZipMaster::showBox(const QString& text) {
    if (m_boxes)
        m_boxes->plainBox(text);
    else
        qWarning("%s", qPrintable(text));
}

void TZipMaster::beep() {
    if (m_boxes)
        m_boxes->beep();
}

void TZipMaster::SetZipFilename(const QString& name) {
    m_zipFilename = name;
    try {
        ReadEntries();
    } catch (const ZipError& e) {
        showBox(e.message());
    }
}

void TZipMaster::SetPassword(const QString& password) {
    m_password = password.left(kPasswordLimit);
}

void TZipMaster::SetDLLDirectory(const QString& dir) {
    m_dllDirectory = dir.endsWith('/') ? dir.chopped(1) : dir;
}

bool TZipMaster::ZipLibraryLoaded() {
    return zipLibrary().library.isLoaded();
}

void TZipMaster::LoadZipLibrary() {
    ZipLibrary& lib = zipLibrary();
    if (lib.library.isLoaded())
        return;
    const QString name = QString::fromLatin1(LibraryFileName());
    const QString inDirectory = m_dllDirectory + "/" + name;
    const QString besideProgram = QCoreApplication::applicationDirPath() + "/" + name;
    if (!m_dllDirectory.isEmpty() && QFileInfo::exists(inDirectory))
        lib.library.setFileName(inDirectory);
    else if (QFileInfo::exists(besideProgram))
        lib.library.setFileName(besideProgram);
    else
        lib.library.setFileName(name); // the system's search
    lib.exec = nullptr;
    lib.version = nullptr;
    if (!lib.library.load()) {
        showBox("ZIPDLL.DLL not found");
        return;
    }
    if (m_trace)
        showBox("ZIP DLL Loaded");
    lib.exec = reinterpret_cast<ZipDllExecFunction>(lib.library.resolve("ZipDllExec"));
    if (!lib.exec)
        showBox("ZipDllExec function not found in ZIPDLL.DLL");
    lib.version =
        reinterpret_cast<GetZipDllVersionFunction>(lib.library.resolve("GetZipDllVersion"));
    if (!lib.version)
        showBox("GetZipDllVersion function not found in ZIPDLL.DLL");
}

void TZipMaster::UnloadZipLibrary() {
    ZipLibrary& lib = zipLibrary();
    if (lib.library.isLoaded())
        lib.library.unload();
    lib.exec = nullptr;
    lib.version = nullptr;
}

void TZipMaster::AddFiles() {
    m_filesAdded = 0;
    if (m_fSpecArgs.isEmpty()) {
        showBox("Error - no files to zip");
        return;
    }
    if (m_zipFilename.isEmpty()) {
        showBox("Error - no zip file specified");
        return;
    }
    if (m_addBusy)
        return;
    // Values the block's buffers cannot hold are refused before the library
    // sees them, rather than cut.
    ZipParamBlock block;
    const QString refused = block.fill(*this);
    if (!refused.isEmpty()) {
        showBox(refused);
        return;
    }
    m_handlerFailure = nullptr;
    {
        AddScope scope(m_addBusy, m_cancelRequested);
        bool loadedHere = false;
        if (!ZipLibraryLoaded()) {
            LoadZipLibrary();
            loadedHere = true;
            if (!ZipLibraryLoaded())
                return;
        }
        const ZipDllExecFunction exec = zipLibrary().exec;
        try {
            if (!exec)
                throw std::runtime_error("no entry point");
            m_filesAdded = exec(block.params());
        } catch (...) {
            m_filesAdded = 0;
            beep();
            showBox("Fatal DLL Error: abort exception");
        }
        m_fSpecArgs.clear();
        if (loadedHere)
            UnloadZipLibrary();
    }
    if (m_handlerFailure)
        std::rethrow_exception(std::exchange(m_handlerFailure, nullptr));
    if (m_filesAdded > 0) {
        // A damaged archive after a good add is reported, not thrown into the run.
        try {
            ReadEntries();
        } catch (const ZipError& e) {
            showBox(e.message());
        }
    }
}

void TZipMaster::ReadEntries() {
    m_entryList.clear();
    m_archiveStart = 0;
    QFile file(m_zipFilename);
    if (m_zipFilename.isEmpty() || !file.exists()) {
        if (OnDirUpdate)
            OnDirUpdate(this);
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        // Unreadable counts as damaged: the caller learns why.
        throw ZipError("Error reading Zip File");
    }
    const qint64 start =
        QFileInfo(m_zipFilename).suffix().toUpper() == "EXE" ? kSelfExtractorStub : 0;
    EntryScan scan = scanZipEntries(file, file.size(), start);
    file.close();
    // Entries read before a damaged one stay listed.
    m_entryList = std::move(scan.entries);
    m_archiveStart = scan.archiveStart;
    switch (scan.result) {
    case EntryScan::NoEntries:
        showBox("No valid zip entries found");
        return;
    case EntryScan::Failed:
        throw ZipError(scan.failure);
    case EntryScan::Done:
        break;
    }
    if (OnDirUpdate)
        OnDirUpdate(this);
}

int32_t TZipMaster::Callback(ZipCallbackRecord* record) {
    if (!record || !record->caller)
        return 0;
    return static_cast<TZipMaster*>(record->caller)->relay(*record);
}

int32_t TZipMaster::relay(const ZipCallbackRecord& record) {
    // Nothing may unwind through the library: a handler's exception is kept,
    // the library asked to stop, and the exception thrown again after the add.
    try {
        const QByteArray text(record.text, int(strnlen(record.text, sizeof(record.text))));
        switch (record.actionCode) {
        case ZIPDLL_ACTION_NEW_FILE:
            if (OnProgress)
                OnProgress(this, NewFile, QFile::decodeName(text), record.fileSize);
            break;
        case ZIPDLL_ACTION_PROGRESS:
            if (OnProgress)
                OnProgress(this, ProgressUpdate, QStringLiteral(" "), 0);
            break;
        case ZIPDLL_ACTION_END_OF_BATCH:
            if (OnProgress)
                OnProgress(this, EndOfBatch, QStringLiteral(" "), 0);
            break;
        default:
            if (record.actionCode >= ZIPDLL_ACTION_MESSAGE && OnMessage) {
                QString message = QString::fromUtf8(text);
                for (int i = 0; i < 2 && (message.endsWith('\r') || message.endsWith('\n')); ++i)
                    message.chop(1);
                OnMessage(this, record.errorCode, message);
            }
            break;
        }
    } catch (...) {
        if (!m_handlerFailure)
            m_handlerFailure = std::current_exception();
        m_cancelRequested = true;
    }
    return m_cancelRequested ? -1 : 0;
}

} // namespace quorvia::zip
