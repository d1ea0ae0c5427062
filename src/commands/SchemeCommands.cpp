#include "commands/SchemeCommands.h"

#include "app/Alerts.h"
#include "app/SettingsLoader.h"
#include "commands/FolderChecks.h"
#include "commands/RunCommands.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"
#include "schemes/DestinationMemory.h"
#include "schemes/LastRunDisplay.h"
#include "schemes/SchemeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

namespace quorvia {

namespace {

// The file a scheme of this name is saved in. Names match ignoring letter case,
// as the list does, so an existing "Daily.sch" is what "daily" overwrites.
QString schemePath(const QString& folder, const QString& name, bool* exists = nullptr) {
    const QDir dir(folder);
    const QString wanted = name + ".sch";
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0) {
            if (exists)
                *exists = true;
            return dir.filePath(entry);
        }
    }
    if (exists)
        *exists = false;
    return dir.filePath(wanted);
}

// Upper-cases a to z only.
QChar upperAscii(QChar c) {
    return (c >= 'a' && c <= 'z') ? QChar(c.unicode() - 32) : c;
}

bool checkFolder(const Settings& settings, UserPort& port, Field box) {
    const QString path = port.view.text(box);
    return PathCharsAcceptable(settings, port.dialogs, path) &&
           DrivePresent(settings, port.dialogs, path) && EnsureFolder(settings, port.dialogs, path);
}

} // namespace

bool ValidateFolders(const Settings& settings, UserPort& port, FolderMode mode, bool withMessages) {
    const bool first = !port.view.text(Field::Folder1).trimmed().isEmpty();
    const bool second = !port.view.text(Field::Folder2).trimmed().isEmpty();
    QString message;
    Field focus = Field::Folder1;
    switch (mode) {
    case FolderMode::First:
        if (first)
            return true;
        message = "Scheme Must Have Entry For First Folder";
        break;
    case FolderMode::Second:
        if (second)
            return true;
        message = "Scheme Must Have Entry For Second Folder";
        focus = Field::Folder2;
        break;
    case FolderMode::Either:
        if (first || second)
            return true;
        message = "Scheme Must Have Entry For Both Folders";
        break;
    }
    if (withMessages) {
        ShowAlert(port.dialogs, settings, message, AlertKind::Information);
        port.view.focus(focus);
    }
    return false;
}

std::optional<QString> AskSchemeName(AppState& state, UserPort& port) {
    BeepIfSoundOn(port.dialogs, state.settings);
    QString proposal;
    if (state.schemeList.SchemeSelected()) {
        proposal = QFileInfo(state.schemeList.selectedPath()).fileName();
        proposal.chop(4);
    } else {
        proposal = ReadSetting(kQuorviaKey, "LastSchemeName", "My Scheme");
    }
    for (;;) {
        const auto entered =
            port.dialogs.prompt("Enter A Unique Scheme Name", "New Scheme Name", proposal);
        if (!entered)
            return std::nullopt;
        const QString name = *entered;
        proposal = name;
        const auto bad = std::find_if(kInvalidNameChars.begin(), kInvalidNameChars.end(),
                                      [&](QChar c) { return name.contains(c); });
        if (bad != kInvalidNameChars.end()) {
            ShowAlert(port.dialogs, state.settings,
                      "Invalid Char In File Name ( " + QString(*bad) + " )", AlertKind::Warning);
            continue;
        }
        // A blank name would save a file called ".sch" that the list never shows.
        if (name.trimmed().isEmpty()) {
            ShowAlert(port.dialogs, state.settings, "Scheme Name Cannot Be Blank",
                      AlertKind::Warning);
            continue;
        }
        // Ask about the name that will be saved, after capitalising.
        bool exists = false;
        schemePath(SchemeFolderInUse(state.settings, state.ProgramFolder),
                   state.settings.Caps ? CapitalizeWords(name) : name, &exists);
        if (exists) {
            BeepIfSoundOn(port.dialogs, state.settings);
            if (!port.dialogs.confirm("Scheme Name Given Exists Already, Overwrite It", 0))
                continue;
        }
        return name;
    }
}

QString CapitalizeWords(const QString& text) {
    QString s = text;
    for (QChar& c : s)
        if (c >= 'A' && c <= 'Z')
            c = QChar(c.unicode() + 32);
    s = s.trimmed();
    if (s.isEmpty())
        return s;
    s = (QString(upperAscii(s[0])) + s.mid(1, 254)).trimmed();
    for (qsizetype i = 0; i + 1 < s.size(); ++i)
        if (s[i] == ' ')
            s[i + 1] = upperAscii(s[i + 1]);
    return s;
}

bool SaveNewScheme(AppState& state, UserPort& port) {
    if (!ValidateFolders(state.settings, port, FolderMode::Either, true))
        return false;
    const QString folder = SchemeFolderInUse(state.settings, state.ProgramFolder);
    if (!SchemeFolderUsable(folder)) {
        ShowAlert(port.dialogs, state.settings,
                  "The Scheme Folder Is Missing: " + folder + "\nScheme Not Saved",
                  AlertKind::Warning);
        return false;
    }
    const std::optional<QString> asked = AskSchemeName(state, port);
    if (!asked)
        return false;
    QString name = *asked;
    if (state.settings.Caps)
        name = CapitalizeWords(name);

    // Write the file first: a name or folder the file system refuses changes nothing.
    const QString path = schemePath(folder, name);
    const QByteArray bytes = EncodeSchemeFile(
        NewSchemeLines(port.view.text(Field::Folder1), port.view.text(Field::Folder2)));
    if (const int error = platform::replaceFileContents(QFile::encodeName(path), bytes)) {
        ShowAlert(port.dialogs, state.settings,
                  "Scheme Could Not Be Saved: " + path + "\n" +
                      QString::fromLocal8Bit(std::strerror(error)),
                  AlertKind::Warning);
        return false;
    }
    ForgetMountFolder(path); // its Folder 2 is taken as it now is
    state.settings.LastSchemeName = name;
    WriteSetting(kQuorviaKey, "LastSchemeName", name);

    port.view.setText(Field::FilesCopiedCaption, "File(s) Copied:");
    ClearLastRunDisplay(port.view);
    state.schemeList.setFolder(folder);
    const int index = SelectSchemeByName(state.schemeList, name);
    if (index == -1) {
        ShowAlert(port.dialogs, state.settings,
                  "Error (" + QString::number(index) + ") when attempting to access new scheme",
                  AlertKind::Warning);
        return false;
    }
    return true;
}

void AddScheme(AppState& state, UserPort& port) {
    if (!ValidateFolders(state.settings, port, FolderMode::First, true) ||
        !checkFolder(state.settings, port, Field::Folder1)) {
        port.view.focus(Field::Folder1);
        return;
    }
    if (!ValidateFolders(state.settings, port, FolderMode::Second, true) ||
        !checkFolder(state.settings, port, Field::Folder2) ||
        !FolderPairAcceptable(state.settings, port.dialogs,
                              FolderPair::fromTexts(port.view.text(Field::Folder1),
                                                    port.view.text(Field::Folder2)))) {
        port.view.focus(Field::Folder2);
        return;
    }
    SaveNewScheme(state, port);
}

void DeleteSelectedScheme(AppState& state, UserPort& port) {
    if (!state.schemeList.SchemeSelected())
        return;
    if (SchemeInQueue(state)) {
        ShowAlert(port.dialogs, state.settings,
                  "Scheme To Delete Is In The Queue.\nDelete Scheme Aborted", AlertKind::Warning);
        return;
    }
    const QString path = state.schemeList.selectedPath();
    BeepIfSoundOn(port.dialogs, state.settings);
    if (!state.settings.ConfirmDel || port.dialogs.confirm("Delete Scheme " + path, 0)) {
        QString reason;
        const bool gone =
            state.settings.Recycle ? platform::moveToTrash(path, reason) == 0 : QFile::remove(path);
        // A failed move to the trash is reported too: the file is still there.
        if (!gone)
            port.dialogs.plainBox("Error Deleting " + path +
                                  (reason.isEmpty() ? "" : "\n" + reason));
        state.schemeList.reread();
    }
    port.view.focus(Field::Folder1);
}

void FolderBoxEdited(AppState& state, UserPort& port) {
    ClearLastRunDisplay(port.view);
    state.schemeList.selectByProgram(-1);
}

void SchemeListChange(AppState& state, UserPort& port, int index) {
    if (state.schemeList.selectByUser(index))
        LoadSchemeFile(state.settings, port, state.schemeList.selectedPath());
}

} // namespace quorvia
