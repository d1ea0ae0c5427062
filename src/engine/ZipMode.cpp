#include "engine/ZipMode.h"

#include <QFileInfo>
#include <algorithm>

namespace quorvia {

namespace {

zip::AddOpts addOptions(const ZipRequest& request) {
    zip::AddOpts options{zip::AddRecurseDirs};
    if (request.encrypt)
        options << zip::AddEncrypt;
    if (request.storeFolderNames)
        options << zip::AddDirNames;
    if (request.hidden)
        options << zip::AddHiddenFiles;
    return options;
}

} // namespace

QString ArchivePath(const QString& schemeFile, const QString& folder2) {
    QString folder = folder2;
    if (!folder.endsWith('/'))
        folder += '/';
    const QString file = QFileInfo(schemeFile).fileName();
    return folder + file.left(std::max<qsizetype>(0, file.size() - 3)) + "zip";
}

ZipRequest ZipRequest::of(const Settings& s, const FolderPair& pair, const QString& schemeFile) {
    ZipRequest request;
    request.pair = pair;
    request.archive = ArchivePath(schemeFile, pair.destination);
    request.level = s.ZipCompression;
    request.storeFolderNames = s.ZipStoreDir;
    request.hidden = s.CopyHidden;
    request.encrypt = s.ZipPassword;
    return request;
}

void ZipFolder(const ZipRequest& request, zip::TZipMaster& zip, RunResult& result,
               RunObserver& observer) {
    zip.SetVerbose(true);
    zip.SetAddCompLevel(request.level);
    zip.SetAddOptions(addOptions(request));
    zip.SetPassword(request.encrypt ? request.password : QString());
    zip.SetCancelRequested(false);
    // The component's events feed this run while it adds, and no other.
    const zip::TProgressEvent progress = zip.OnProgress;
    const zip::TMessageEvent message = zip.OnMessage;
    zip.OnProgress = [&](zip::TZipMaster*, zip::ProgressType type, const QString&,
                         qint64 fileSize) {
        if (type == zip::NewFile)
            result.ByteTotal += fileSize;
        // Also between the updates of a large file, so that an abort lands soon.
        if (type == zip::NewFile || type == zip::ProgressUpdate) {
            observer.pump();
            if (observer.stopRequested())
                zip.SetCancelRequested(true);
        }
    };
    zip.OnMessage = [&](zip::TZipMaster*, int code, const QString& text) {
        if (code == 0)
            return;
        ++result.RunErrors;
        observer.problem(RunProblem(RunProblem::ArchiveProblem, code, text.toUtf8()));
    };
    zip.SetFSpecArgs({request.pair.source + "/*.*"});
    zip.SetZipFilename(request.archive);
    observer.pump();
    zip.AddFiles();
    result.FilesCopied = zip.FilesAdded();
    result.aborted = observer.stopRequested();
    zip.SetPassword(QString()); // the component keeps no password between runs
    zip.OnProgress = progress;
    zip.OnMessage = message;
}

} // namespace quorvia
