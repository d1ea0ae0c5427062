#include "app/SettingsLoader.h"

#include "app/Alerts.h"
#include "app/ProgramInfo.h"
#include "platform/SettingsStore.h"

#include <QFileInfo>
#include <QStringList>
#include <utility>
#include <vector>

namespace quorvia {

namespace {

// Upper-cases a to z only and trims blanks, as the install-folder check compares.
QString folderKey(const QString& folder) {
    QString out = folder.trimmed();
    for (QChar& c : out)
        if (c >= 'a' && c <= 'z')
            c = QChar(c.unicode() - 'a' + 'A');
    return out;
}

bool readFlag(const QString& name, bool def) {
    return IsTrue(ReadSetting(kQuorviaKey, name, TrueFalse(def)));
}

QString readWithFallback(const QString& name, const QString& placeholder,
                         const QString& fallbackName) {
    const QString value = ReadSetting(kQuorviaKey, name, placeholder);
    if (value != placeholder)
        return value;
    return ReadSetting(kMailClientKey, fallbackName, placeholder);
}

// Writes a series of values; the first failure ends the series and is shown once.
// The options that start both write series, in their stored order.
std::vector<std::pair<QString, QString>> leadingOptions(const Settings& s) {
    return {{"SchemeDir", s.SchemeDir},
            {"CheckPrior", TrueFalse(s.CheckPrior)},
            {"ShowWork", TrueFalse(s.ShowWork)},
            {"SoundOn", TrueFalse(s.SoundOn)},
            {"Caps", TrueFalse(s.Caps)},
            {"ConfirmDel", TrueFalse(s.ConfirmDel)},
            {"Recycle", TrueFalse(s.Recycle)},
            {"CopyOnlyNewer", TrueFalse(s.CopyOnlyNewer)},
            {"CopyHidden", TrueFalse(s.CopyHidden)},
            {"CopySystem", TrueFalse(s.CopySystem)},
            {"ResetArchiveFlag", TrueFalse(s.ResetArchiveFlag)},
            {"ZipArchiveFlag", TrueFalse(s.ZipArchiveFlag)}};
}

bool writeSeries(Dialogs& dialogs, const Settings& settings,
                 const std::vector<std::pair<QString, QString>>& values) {
    for (const auto& [name, text] : values) {
        if (!WriteSetting(kQuorviaKey, name, text)) {
            ShowStoreFailure(dialogs, settings, "Settings Could Not Be Saved. Value: " + name);
            return false;
        }
    }
    return true;
}

} // namespace

QString ReadSetting(const QString& key, const QString& name, const QString& def) {
    return platform::readValue(key, name).value_or(def);
}

bool WriteSetting(const QString& key, const QString& name, const QString& text) {
    return platform::writeValue(key, name, text) == 0;
}

void ShowStoreFailure(Dialogs& dialogs, const Settings& settings, const QString& what) {
    ShowAlert(dialogs, settings, what + "\nFile: " + platform::storeLocation(kQuorviaKey),
              AlertKind::Warning);
}

bool SaveSettings(const Settings& s, Dialogs& dialogs) {
    std::vector<std::pair<QString, QString>> values = leadingOptions(s);
    values.insert(values.end(), {{"ZipPassword", TrueFalse(s.ZipPassword)},
                                 {"ZipStoreDir", TrueFalse(s.ZipStoreDir)},
                                 {"Zip83Format", TrueFalse(s.Zip83Format)},
                                 {"ZipCompression", QString::number(s.ZipCompression)}});
    return writeSeries(dialogs, s, values);
}

bool SchemeFolderUsable(const QString& folder) {
    return !folder.trimmed().isEmpty() && QFileInfo(folder).isDir();
}

QString SchemeFolderInUse(const Settings& settings, const QString& programFolder) {
    return SchemeFolderUsable(settings.SchemeDir) || programFolder.isEmpty() ? settings.SchemeDir
                                                                             : programFolder;
}

void LoadSettings(Settings& s, Dialogs& dialogs, const QString& programFolder) {
    s.SchemeDir = ReadSetting(kQuorviaKey, "SchemeDir", QString());

    if (folderKey(programFolder) != folderKey(s.SchemeDir)) {
        dialogs.beep();
        const QString question =
            "You Have Started Quorvia From A Different Directory Than Orignally Installed.\n(" +
            s.SchemeDir + ")" + "\n" + "\n" +
            "Do You Intend To Keep Running Quorvia From This Directory?" + "\n" + "(" +
            programFolder + ")";
        if (dialogs.confirm(question, 10)) {
            writeSeries(dialogs, s, {{"SchemeDir", programFolder}});
            s.SchemeDir = ReadSetting(kQuorviaKey, "SchemeDir", programFolder);
            dialogs.beep();
            ShowAlert(dialogs, s,
                      "Make Sure You Have Moved Your Scheme and Help Files To " + s.SchemeDir,
                      AlertKind::Information);
        }
    }

    s.CheckPrior = readFlag("CheckPrior", true);
    s.ShowWork = readFlag("ShowWork", false);
    s.SoundOn = readFlag("SoundOn", true);
    s.Caps = readFlag("Caps", true);
    s.ConfirmDel = readFlag("ConfirmDel", true);
    s.Recycle = readFlag("Recycle", true);
    s.CopyOnlyNewer = readFlag("CopyOnlyNewer", true);
    s.CopyHidden = readFlag("CopyHidden", true);
    s.CopySystem = readFlag("CopySystem", true);
    s.ResetArchiveFlag = readFlag("ResetArchiveFlag", false);
    s.ZipArchiveFlag = readFlag("ZipArchiveFlag", false);
    s.ZipPassword = readFlag("ZipPassword", false);
    bool ok = false;
    const int level = ReadSetting(kQuorviaKey, "ZipCompression", "3").trimmed().toInt(&ok);
    s.ZipCompression = ok && level >= 0 && level <= 9 ? level : 3;
    s.ZipStoreDir = readFlag("ZipStoreDir", true);
    s.LastSchemeName = ReadSetting(kQuorviaKey, "LastSchemeName", "My Scheme");

    const QString smtp = readWithFallback("SMTP", "Your SMTP Account", "Default SMTP Server");
    const QString user = readWithFallback("UserName", "Your User Name", "Sender EMail");
    const QString sender = readWithFallback("SenderName", "Your Name", "Sender Name");

    std::vector<std::pair<QString, QString>> values = leadingOptions(s);
    values.insert(values.end(), {{"LastSchemeName", s.LastSchemeName},
                                 {"Version", kProgramVersion},
                                 {"CompileDate", kCompileDate},
                                 {"SMTP", smtp},
                                 {"UserName", user},
                                 {"SenderName", sender}});
    writeSeries(dialogs, s, values);
}

} // namespace quorvia
