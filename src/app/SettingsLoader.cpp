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

// The stored options, in the order both write series hold them: the first
// eleven start both series (after SchemeDir); the zip options follow in the
// dialogs' save only. `loaded` is false for the one option start-up never reads.
struct Option {
    const char* key;
    bool Settings::*member;
    bool byDefault;
    bool loaded = true;
};
constexpr Option kOptions[] = {
    {"CheckPrior", &Settings::CheckPrior, true},
    {"ShowWork", &Settings::ShowWork, false},
    {"SoundOn", &Settings::SoundOn, true},
    {"Caps", &Settings::Caps, true},
    {"ConfirmDel", &Settings::ConfirmDel, true},
    {"Recycle", &Settings::Recycle, true},
    {"CopyOnlyNewer", &Settings::CopyOnlyNewer, true},
    {"CopyHidden", &Settings::CopyHidden, true},
    {"CopySystem", &Settings::CopySystem, true},
    {"ResetArchiveFlag", &Settings::ResetArchiveFlag, false},
    {"ZipArchiveFlag", &Settings::ZipArchiveFlag, false},
    {"ZipPassword", &Settings::ZipPassword, false},
    {"ZipStoreDir", &Settings::ZipStoreDir, true},
    {"Zip83Format", &Settings::Zip83Format, false, false},
};
constexpr size_t kLeadingOptions = 11;
constexpr int kDefaultCompression = 3;

using Values = std::vector<std::pair<QString, QString>>;

// SchemeDir and the first `count` options, as stored.
Values optionValues(const Settings& s, size_t count) {
    Values values{{"SchemeDir", s.SchemeDir}};
    for (size_t i = 0; i < count; ++i)
        values.emplace_back(kOptions[i].key, TrueFalse(s.*kOptions[i].member));
    return values;
}

// Writes a series of values in one go (the store is one file, so a failure
// fails them all); the failure is shown once, naming the first.
bool writeSeries(Dialogs& dialogs, const Settings& settings, const Values& values) {
    if (values.empty() || platform::writeValues(kQuorviaKey, {values.begin(), values.end()}) == 0)
        return true;
    ShowStoreFailure(dialogs, settings,
                     "Settings Could Not Be Saved. Value: " + values.front().first);
    return false;
}

// Every option with its default, and the last scheme's name.
void readOptions(Settings& s) {
    for (const Option& option : kOptions)
        if (option.loaded)
            s.*option.member = readFlag(option.key, option.byDefault);
    bool ok = false;
    const int level =
        ReadSetting(kQuorviaKey, "ZipCompression", QString::number(kDefaultCompression))
            .trimmed()
            .toInt(&ok);
    s.ZipCompression = ok && level >= 0 && level <= 9 ? level : kDefaultCompression;
    s.LastSchemeName = ReadSetting(kQuorviaKey, "LastSchemeName", "My Scheme");
}

} // namespace

void ReadSettings(Settings& s) {
    s.SchemeDir = ReadSetting(kQuorviaKey, "SchemeDir", QString());
    readOptions(s);
}

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
    Values values = optionValues(s, std::size(kOptions));
    values.emplace_back("ZipCompression", QString::number(s.ZipCompression));
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

    readOptions(s);

    const QString smtp = readWithFallback("SMTP", "Your SMTP Account", "Default SMTP Server");
    const QString user = readWithFallback("UserName", "Your User Name", "Sender EMail");
    const QString sender = readWithFallback("SenderName", "Your Name", "Sender Name");

    Values values = optionValues(s, kLeadingOptions);
    values.insert(values.end(), {{"LastSchemeName", s.LastSchemeName},
                                 {"Version", kProgramVersion},
                                 {"CompileDate", kCompileDate},
                                 {"SMTP", smtp},
                                 {"UserName", user},
                                 {"SenderName", sender}});
    writeSeries(dialogs, s, values);
}

} // namespace quorvia
