#include "engine/ZipMode.h"

#include "app/Alerts.h"
#include "engine/PathChecks.h"

#include <QFileInfo>

namespace quorvia {

namespace {

// Asks twice, masked, until both agree; nullopt when the user cancels.
std::optional<QString> askPassword(const Settings& settings, Dialogs& dialogs) {
    for (;;) {
        const auto first = dialogs.promptPassword("Zip Password", "Password For The Zip Archive");
        if (!first)
            return std::nullopt;
        const auto again = dialogs.promptPassword("Zip Password", "Type The Password Again");
        if (!again)
            return std::nullopt;
        if (first->isEmpty())
            ShowAlert(dialogs, settings, "The Password Cannot Be Empty", AlertKind::Warning);
        else if (*first != *again)
            ShowAlert(dialogs, settings, "The Two Passwords Differ, Please Type Them Again",
                      AlertKind::Warning);
        else
            return first;
    }
}

zip::AddOpts addOptions(const Settings& s) {
    zip::AddOpts options{zip::AddRecurseDirs};
    if (s.ZipPassword)
        options << zip::AddEncrypt;
    if (s.ZipStoreDir)
        options << zip::AddDirNames;
    if (s.CopyHidden)
        options << zip::AddHiddenFiles;
    return options;
}

} // namespace

QString ArchivePath(const SchemeRecord& scheme) {
    QString folder = scheme.Folder2;
    if (!folder.endsWith('/'))
        folder += '/';
    const QString file = QFileInfo(scheme.SchemeFile).fileName();
    return folder + file.left(std::max<qsizetype>(0, file.size() - 3)) + "zip";
}

void ZipFolder(AppState& state, UserPort& port, zip::TZipMaster& zip, BatchPassword& password) {
    const Settings& s = state.settings;
    RunState& run = state.run;
    const SchemeRecord& head = state.queue.slots[0];

    zip.SetVerbose(true);
    zip.SetAddCompLevel(s.ZipCompression);
    zip.SetAddOptions(addOptions(s));
    zip.SetPassword(QString());
    zip.SetCancelRequested(false);
    if (s.ZipPassword) {
        BeepIfSoundOn(port.dialogs, s);
        if (!password.asked) {
            password.asked = true;
            password.text = askPassword(s, port.dialogs);
        }
        if (!password.text) {
            ShowAlert(port.dialogs, s,
                      "No Password Given: " + ArchivePath(head) + " Was Not Written",
                      AlertKind::Warning);
            ++run.RunErrors;
            return;
        }
        zip.SetPassword(*password.text);
    }
    zip.SetFSpecArgs({head.Folder1.trimmed() + "/*.*"});
    const QString archive = ArchivePath(head);
    zip.SetZipFilename(archive);

    const QString folder = QFileInfo(archive).path();
    if (!CheckDrive(s, port.dialogs, folder))
        return;
    if (!EnsureFolder(s, port.dialogs, folder)) {
        ShowAlert(port.dialogs, s, "ZIP Process Aborted", AlertKind::Warning);
        state.flags.AbortRequested = true;
        run.RunErrors = 1;
        return;
    }
    port.dialogs.processPendingMessages();
    zip.AddFiles();
    run.FilesCopied = zip.FilesAdded();
    zip.SetPassword(QString()); // the component keeps no password between schemes
}

void ZipProgress(AppState& state, Dialogs& dialogs, zip::ProgressType type, qint64 fileSize) {
    if (type == zip::NewFile)
        state.run.ByteTotal += fileSize;
    // Also between the updates of a large file, so that an abort lands soon.
    if (type == zip::NewFile || type == zip::ProgressUpdate)
        dialogs.processPendingMessages();
}

void ZipMessage(AppState& state, Dialogs& dialogs, int errorCode, const QString& message) {
    if (errorCode == 0)
        return;
    ShowAlert(dialogs, state.settings, message + "\n" + " Error#: " + QString::number(errorCode),
              AlertKind::Warning);
    ++state.run.RunErrors;
}

} // namespace quorvia
