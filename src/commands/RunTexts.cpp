#include "commands/RunTexts.h"

#include "app/RunFormat.h"
#include "platform/FileSystem.h"
#include "platform/LocaleText.h"

#include <QFile>

namespace quorvia {

namespace {

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString errorText(int error) {
    return "Error (" + QString::number(error) + ") ";
}

QString count(int64_t value) {
    return platform::formatCount(double(value)).trimmed();
}

QString driveText(const QString& drive) {
    return "Drive (" + drive + " ) Does Not Exist\n" +
           "If This Drive Is Removable, Make Sure It Is Inserted";
}

} // namespace

QString ProblemText(const RunProblem& p) {
    const QString code = errorText(p.error);
    switch (p.kind) {
    case RunProblem::SourceNotOpened:
        return code + "Could Not Open File: " + shown(p.path);
    case RunProblem::SourceNotRead:
        return code + "Could Not Read: " + shown(p.path);
    case RunProblem::FolderNotListed:
        return code + "Could Not Open Folder: " + shown(p.path);
    case RunProblem::DestinationNotMade:
    case RunProblem::DestinationUnusable:
        return code + "Could Not Create: " + shown(p.path);
    case RunProblem::NameClash:
        return code + "Could Not Create: " + shown(p.path) + "\nName Clashes With " +
               shown(p.other) + " (The Destination Does Not Tell Letter Case Apart)";
    case RunProblem::DestinationNotWritten: {
        const bool full = platform::classifyError(p.error) == platform::ErrorClass::NoSpace;
        return code + (full ? "Destination Full, " : "") + "Could Not Write: " + shown(p.path);
    }
    case RunProblem::ArchiveProblem:
        return QString::fromUtf8(p.path) + "\n" + " Error#: " + QString::number(p.error);
    }
    return {};
}

QString RefusalText(const Refusal& r, const QString& folder1, const QString& folder2) {
    switch (r.kind) {
    case Refusal::DriveMissing:
        return driveText(r.path);
    case Refusal::SameFolder:
        return "Folder 1 (" + folder1 + ") And Folder 2 (" + folder2 + ") Are The Same Folder";
    case Refusal::SourceInsideDestination:
        return "Folder 1 (" + folder1 + ") Lies Inside Folder 2 (" + folder2 +
               ")\nA Backup Would Write Over Its Own Source";
    case Refusal::DestinationMoved:
        return driveText(r.other) + "\n\nFolder 2 (" + folder2 + ") Now Lies On " + r.path +
               ", Not On " + r.other +
               " As At Its Last Run\nTo Back Up There All The Same, Save The Scheme Again";
    case Refusal::DestinationBusy:
        return "Folder 2 (" + folder2 + ") Is Being Written By Another Quorvia Run\n" +
               "Scheme Skipped: Run It Again When That Run Has Ended";
    case Refusal::NotEnoughRoom:
        return NotEnoughRoomText(r.needed, r.free);
    case Refusal::FolderNotMade:
        return "ZIP Process Aborted";
    case Refusal::NoPassword:
        return "No Password Given: " + r.path + " Was Not Written";
    case Refusal::DestinationUnusable:
        return errorText(r.error) + "Could Not Create: " + folder2;
    case Refusal::None:
        break;
    }
    return {};
}

QString CopyAbortedText() {
    return "Quorvia Was Aborted During Synch Process, All Files Might Not Be On Destination";
}

QString ScanAbortedText() {
    return "Quorvia Was Aborted During Size Check, Calculations Will Be Wrong";
}

QString NotKeptText(const NotKept& notKept) {
    QStringList what;
    if (notKept.what & NotKept::Permissions)
        what << "Permissions";
    if (notKept.what & NotKept::FileTimes)
        what << "File Times";
    if (notKept.what & NotKept::DosAttributes)
        what << "System And Archive Attributes";
    const QString list = what.size() == 1
                             ? what[0]
                             : what.mid(0, what.size() - 1).join(", ") + " And " + what.last();
    QString text = "The Copies Are Complete, But The Destination Does Not Keep Their " + list +
                   "\nFirst Seen With: " + shown(notKept.first);
    if (notKept.error != 0)
        text += " (Error " + QString::number(notKept.error) + ")";
    if (notKept.what & NotKept::FileTimes)
        text += "\nCopying Only Newer Files Cannot Be Trusted There";
    return text;
}

// In its own letter case: on Linux another case names another folder.
QString FolderDisplayText(const QString& folder) {
    if (folder.size() <= 18)
        return folder;
    return folder.left(3) + "..." + folder.right(19);
}

QString SizeReport(const RunResult& run, const QString& folder1, const QString& folder2,
                   int64_t freeBytes) {
    QString text = "Searched: " + FolderDisplayText(folder1) + "\n\n";
    text += "Found " + count(run.FolderCount - 1) + " Folder(s), and " + count(run.FilesExamined) +
            " File(s).\n\n";
    text += count(run.FilesFound) + " File(s) Need To Be Synched.\n\n";
    text += "Total File Size = " + FormatSize(double(run.ByteTotal)) + "\n\n";
    if (!folder2.trimmed().isEmpty()) {
        text += QString(49, '-') + "\n\n";
        text += "Searched: " + FolderDisplayText(folder2) + "\n\n";
        text += "Total Space Available = " + FormatSize(double(freeBytes)) + "\n\n";
    }
    if (run.RunErrors > 0)
        text += "\nWARNING: " + QString::number(run.RunErrors) +
                " Error(s) Were Reported. Total Size MIGHT Be Wrong!";
    if (run.aborted)
        text += QString(run.RunErrors > 0 ? "\n" : "") +
                "WARNING: Aborted By User. Total Size MIGHT Be Wrong!";
    return text;
}

QString FreeSpaceText(const QString& display, int64_t freeBytes) {
    return "Searched: " + display + "\n\nFound " + FormatSize(double(freeBytes)) + " Available.";
}

QString NotEnoughRoomText(int64_t needed, int64_t freeBytes) {
    return "Copy Aborted (Not Enough Room)\n\nNeeded: " + FormatSize(double(needed)) +
           "  Found: " + FormatSize(double(freeBytes));
}

} // namespace quorvia
