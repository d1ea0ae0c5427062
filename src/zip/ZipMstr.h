#pragma once

#include "zip/ZipBoxes.h"
#include "zip/ZipDllInterface.h"
#include "zip/ZipEntryScan.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <stdexcept>
#include <vector>

namespace quorvia::zip {

// Add options; the values are the bit positions of the 16-bit set.
enum AddOptsEnum {
    AddDirNames,
    AddRecurseDirs,
    AddMove,
    AddFreshen,
    AddUpdate,
    AddZipTime,
    AddForceDOS,
    AddHiddenFiles,
    AddEncrypt
};
// What an OnProgress call reports.
enum ProgressType { NewFile = 0, ProgressUpdate = 1, EndOfBatch = 2 };

// A set of up to 16 options of one enumeration.
template <typename E> class OptionSet {
public:
    constexpr OptionSet() = default;
    constexpr OptionSet(std::initializer_list<E> options) {
        for (E e : options)
            m_bits |= bit(e);
    }
    constexpr bool contains(E e) const { return m_bits & bit(e); }
    constexpr OptionSet& operator<<(E e) {
        m_bits |= bit(e);
        return *this;
    }
    constexpr void remove(E e) { m_bits &= quint16(~bit(e)); }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr quint16 bits() const { return m_bits; }
    constexpr bool operator==(const OptionSet&) const = default;

private:
    static constexpr quint16 bit(E e) { return quint16(1u << unsigned(e)); }
    quint16 m_bits = 0;
};

using AddOpts = OptionSet<AddOptsEnum>;

// A failure of ReadEntries on a damaged archive.
class ZipError : public std::runtime_error {
public:
    explicit ZipError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

class TZipMaster;
using TNotifyEvent = std::function<void(TZipMaster* Sender)>;
using TProgressEvent = std::function<void(TZipMaster* Sender, ProgressType ProgrType,
                                          const QString& Filename, qint64 FileSize)>;
using TMessageEvent = std::function<void(TZipMaster* Sender, int ErrCode, const QString& Message)>;

// Creates zip archives through the zip library (libzipdll.so, loaded at run
// time): fills the parameter block from the properties, calls ZipDllExec once
// per add, relays the library's callbacks to OnProgress and OnMessage, and
// reads the archive's entries back. Everything runs on the caller's thread;
// the library calls back during AddFiles.
class TZipMaster : public QObject {
public:
    explicit TZipMaster(QObject* Owner = nullptr);
    ~TZipMaster() override;

    // Where the component's messages go; without it they go to the log.
    void SetBoxes(ZipBoxes* boxes) { m_boxes = boxes; }

    bool Verbose() const { return m_verbose; }
    void SetVerbose(bool on) { m_verbose = on; }
    bool Trace() const { return m_trace; }
    void SetTrace(bool on) { m_trace = on; }
    int AddCompLevel() const { return m_addCompLevel; }
    void SetAddCompLevel(int level) { m_addCompLevel = level; }
    AddOpts AddOptions() const { return m_addOptions; }
    void SetAddOptions(AddOpts options) { m_addOptions = options; }
    const QStringList& FSpecArgs() const { return m_fSpecArgs; }
    void SetFSpecArgs(const QStringList& specs) { m_fSpecArgs = specs; }
    QString ZipFilename() const { return m_zipFilename; }
    // Reads the new archive's entries; a damaged archive is reported in a box.
    void SetZipFilename(const QString& name);
    QString Password() const { return m_password; }
    void SetPassword(const QString& password); // kept to 255 characters
    QString DLLDirectory() const { return m_dllDirectory; }
    void SetDLLDirectory(const QString& dir); // a trailing "/" is removed

    TNotifyEvent OnDirUpdate;
    TProgressEvent OnProgress;
    TMessageEvent OnMessage;

    void* OwnerHandle() const { return m_ownerHandle; }
    int FilesAdded() const { return m_filesAdded; }
    bool AddBusy() const { return m_addBusy; }
    bool CancelRequested() const { return m_cancelRequested; }
    void SetCancelRequested(bool on) { m_cancelRequested = on; }
    const QList<ZipEntry>& EntryList() const { return m_entryList; }
    qint64 ArchiveStart() const { return m_archiveStart; }

    // Adds the files of FSpecArgs to ZipFilename; sets FilesAdded. Never
    // throws for a damaged archive: that is reported in a box.
    void AddFiles();
    // Rebuilds EntryList from the archive. Throws ZipError on damaged entries.
    void ReadEntries();
    void LoadZipLibrary();
    void UnloadZipLibrary();
    // Whether the library is loaded (the handle is shared by all instances).
    static bool ZipLibraryLoaded();
    // The library's file name.
    static const char* LibraryFileName() { return "libzipdll.so"; }

    // The callback handed to the library.
    static int32_t Callback(ZipCallbackRecord* record);

private:
    int32_t relay(const ZipCallbackRecord& record);
    void showBox(const QString& text);
    void beep();

    ZipBoxes* m_boxes = nullptr;
    void* m_ownerHandle = nullptr;
    bool m_verbose = false;
    bool m_trace = false;
    int m_addCompLevel = 9;
    AddOpts m_addOptions;
    QStringList m_fSpecArgs;
    QString m_zipFilename;
    QString m_password;
    QString m_dllDirectory;

    int m_filesAdded = 0;
    bool m_addBusy = false;
    bool m_cancelRequested = false;
    QList<ZipEntry> m_entryList;
    qint64 m_archiveStart = 0;
    std::exception_ptr m_handlerFailure; // thrown by an event handler during an add
};

// The parameter block of one add with the buffers it points to.
class ZipParamBlock {
public:
    ZipParamBlock() = default;
    ZipParamBlock(const ZipParamBlock&) = delete;
    ZipParamBlock& operator=(const ZipParamBlock&) = delete;

    // Fills the block from the component's properties. Returns why it cannot
    // be filled (a value longer than its buffer), or an empty text.
    QString fill(const TZipMaster& master);
    ZipParams* params() { return &m_params; }
    const ZipParams& block() const { return m_params; }

private:
    ZipParams m_params{};
    std::vector<char> m_password;
    std::vector<char> m_zipFilename;
    std::vector<std::vector<char>> m_specs;
};

} // namespace quorvia::zip
