#include "DialogFixture.h"

#include "app/SettingsLoader.h"
#include "platform/SettingsStore.h"
#include "ui/Help.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

using namespace quorvia;
using namespace quorvia::test;

namespace {

using ConfigDialogsTest = DialogFixture;

const char* const kBoxes[] = {"CheckBox951", "CheckBox952", "CheckBox953", "CheckBox954",
                              "CheckBox955", "CheckBox956", "CheckBox957", "CheckBox958",
                              "CheckBox959", "CheckBox960", "CheckBox1"};

QString stored(const QString& name) {
    return platform::readValue(kQuorviaKey, name).value_or("<absent>");
}

std::map<QString, QString> storedSettings() {
    std::map<QString, QString> values;
    for (const char* name :
         {"SchemeDir", "CheckPrior", "ShowWork", "SoundOn", "Caps", "ConfirmDel", "Recycle",
          "CopyOnlyNewer", "CopyHidden", "CopySystem", "ResetArchiveFlag", "ZipArchiveFlag",
          "ZipPassword", "ZipStoreDir", "Zip83Format", "ZipCompression"})
        values[name] = stored(name);
    return values;
}

// Every option the other way round from its default.
void invertDefaults(Settings& s) {
    s.CheckPrior = false;
    s.ShowWork = true;
    s.SoundOn = false;
    s.Caps = false;
    s.ConfirmDel = false;
    s.Recycle = false;
    s.CopyOnlyNewer = false;
    s.CopyHidden = false;
    s.CopySystem = false;
    s.ResetArchiveFlag = true;
    s.ZipArchiveFlag = true;
    s.ZipPassword = true;
    s.ZipStoreDir = false;
    s.Zip83Format = true;
    s.ZipCompression = 7;
}

void makeStoreUnwritable() {
    const QString file = platform::storeLocation(kQuorviaKey);
    QFile::remove(file);
    QDir().mkpath(file);
}

void typeLevel(TForm8& zip, const QString& text) {
    QLineEdit* edit = zip.level()->lineEdit();
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

} // namespace

TEST_F(ConfigDialogsTest, TheFormsCarryTheirNamesPlacesAndHints) {
    EXPECT_EQ(QSize(320, 350), config.size());
    EXPECT_EQ("Quorvia Config", config.windowTitle());
    for (const char* name : kBoxes)
        EXPECT_FALSE(checked(config, name)) << name << " starts unchecked";
    EXPECT_EQ(QRect(18, 32, 292, 25), in(config, "CheckBox952")->geometry());
    EXPECT_EQ(QRect(240, 258, 67, 25), in(config, "Button5")->geometry());
    EXPECT_FALSE(enabled(config, "Button5"));
    EXPECT_EQ("Decline Entries and Exit", in(config, "Button2")->toolTip());
    EXPECT_TRUE(in(config, "CheckBox951")->toolTip().isEmpty()) << "hints on the buttons only";
    EXPECT_EQ(215, HelpContextOf(in(config, "CheckBox957")));
    EXPECT_EQ(285, HelpContextOf(in(config, "CheckBox953"))) << "the dialog's own topic";
    for (const char* name : {"Button1", "Button2", "Button3", "Button4", "Button5"})
        EXPECT_FALSE(in<QPushButton>(config, name)->autoDefault()) << "no Enter button";

    EXPECT_EQ("Quorvia - Zip Settings", zip.windowTitle());
    EXPECT_TRUE(in<QPushButton>(zip, "Button1")->isDefault());
    EXPECT_EQ(10, zip.level()->count());
    EXPECT_TRUE(zip.level()->isEditable());
    EXPECT_EQ("Compresion Method", zip.level()->toolTip());
    zip.showDialog();
    EXPECT_FALSE(in(zip, "CheckBox3")->isVisible());
    EXPECT_FALSE(enabled(zip, "CheckBox3"));
}

TEST_F(ConfigDialogsTest, TheFirstShowingWithSoundOnBeepsTwiceLaterOnce) {
    startUp();
    state.settings.SoundOn = true;
    click(form1, "Button11");
    ASSERT_TRUE(config.isVisible());
    EXPECT_EQ(2, dialogs.beeps()) << "on showing, and the sound box turning on";
    QTest::keyClick(&config, Qt::Key_Escape);
    EXPECT_FALSE(config.isVisible());

    dialogs.events.clear();
    click(form1, "Button11");
    EXPECT_EQ(1, dialogs.beeps());
    // Cancel with the sound box off: the next showing turns it on again.
    click(config, "CheckBox953");
    config.close();
    EXPECT_FALSE(config.isVisible());
    dialogs.events.clear();
    click(form1, "Button11");
    EXPECT_EQ(2, dialogs.beeps());
    EXPECT_TRUE(state.settings.SoundOn);
}

TEST_F(ConfigDialogsTest, TheZipBoxShowsTheStoredModeNotTheDisplayedRun) {
    startUp();
    // The scheme on display last zipped, but copying is what is set.
    form1.setText(Field::FilesCopiedCaption, "File(s) Zipped:");
    state.settings.ZipArchiveFlag = false;
    click(form1, "Button11");
    EXPECT_FALSE(checked(config, "CheckBox1"));
    click(config, "Button1");
    EXPECT_FALSE(config.isVisible());
    EXPECT_EQ("False", stored("ZipArchiveFlag"));
    EXPECT_FALSE(state.settings.ZipArchiveFlag);

    form1.setText(Field::FilesCopiedCaption, "File(s) Copied:");
    state.settings.ZipArchiveFlag = true;
    state.settings.CheckPrior = true;
    click(form1, "Button11");
    EXPECT_TRUE(checked(config, "CheckBox1"));
    EXPECT_TRUE(enabled(config, "Button5"));
    EXPECT_FALSE(checked(config, "CheckBox951")) << "zip mode and the space check exclude";
    EXPECT_FALSE(enabled(config, "CheckBox951"));
    click(config, "Button1");
    EXPECT_EQ("True", stored("ZipArchiveFlag"));
    EXPECT_EQ("False", stored("CheckPrior"));
}

TEST_F(ConfigDialogsTest, TheZipBoxAndTheSpaceCheckExcludeEachOther) {
    startUp();
    state.settings.CheckPrior = true;
    click(form1, "Button11");
    ASSERT_TRUE(checked(config, "CheckBox951"));
    click(config, "CheckBox1");
    EXPECT_FALSE(checked(config, "CheckBox951"));
    EXPECT_FALSE(enabled(config, "CheckBox951"));
    EXPECT_TRUE(enabled(config, "Button5"));
    click(config, "Button5");
    EXPECT_TRUE(zip.isVisible()) << "Zip Settings opens the zip dialog";
    EXPECT_TRUE(config.isVisible());
    click(config, "CheckBox1");
    EXPECT_TRUE(enabled(config, "CheckBox951"));
    EXPECT_FALSE(checked(config, "CheckBox951")) << "not checked again";
    EXPECT_FALSE(enabled(config, "Button5"));
}

TEST_F(ConfigDialogsTest, DefaultThenCancelChangesNothingDefaultThenOkStoresTheDefaults) {
    startUp();
    invertDefaults(state.settings);
    ASSERT_TRUE(SaveSettings(state.settings, dialogs));
    const auto before = storedSettings();

    click(form1, "Button11");
    click(config, "Button3");
    EXPECT_TRUE(config.isVisible()) << "Default does not close";
    EXPECT_EQ(before, storedSettings());
    click(config, "Button2");
    EXPECT_EQ(before, storedSettings());
    EXPECT_TRUE(state.settings.ShowWork);

    click(form1, "Button11");
    click(config, "Button3");
    click(config, "Button1");
    auto after = storedSettings();
    const std::map<QString, QString> defaults = {
        {"CheckPrior", "True"},     {"ShowWork", "False"},
        {"SoundOn", "True"},        {"Caps", "True"},
        {"ConfirmDel", "True"},     {"Recycle", "True"},
        {"CopyOnlyNewer", "True"},  {"CopySystem", "True"},
        {"CopyHidden", "True"},     {"ResetArchiveFlag", "False"},
        {"ZipArchiveFlag", "False"}};
    for (const auto& [name, value] : defaults)
        EXPECT_EQ(value, after[name]) << name.toStdString();
    // The zip dialog's settings keep their values.
    for (const char* name :
         {"SchemeDir", "ZipPassword", "ZipStoreDir", "Zip83Format", "ZipCompression"})
        EXPECT_EQ(before.at(name), after[name]) << name;
    EXPECT_EQ("7", after["ZipCompression"]);
}

TEST_F(ConfigDialogsTest, OkDuringARunStoresAllElevenWithTheCopyBoxesDisabled) {
    startUp();
    addScheme("Long", 30);
    std::map<QString, bool> seen;
    bool opened = false;
    dialogs.onPump = [&] {
        if (opened)
            return;
        opened = true;
        click(form1, "Button11");
        for (const char* name : kBoxes)
            seen[name] = enabled(config, name);
        seen["Button5"] = enabled(config, "Button5");
        click(config, "CheckBox952"); // ShowWork on
        click(config, "CheckBox955"); // ConfirmDel off
        click(config, "Button1");
    };
    run("Long");
    dialogs.onPump = nullptr;
    ASSERT_TRUE(opened);
    for (const char* name :
         {"CheckBox957", "CheckBox958", "CheckBox959", "CheckBox960", "CheckBox1", "Button5"})
        EXPECT_FALSE(seen[name]) << name;
    for (const char* name :
         {"CheckBox951", "CheckBox952", "CheckBox953", "CheckBox954", "CheckBox955", "CheckBox956"})
        EXPECT_TRUE(seen[name]) << name;
    EXPECT_FALSE(config.isVisible());
    EXPECT_EQ("True", stored("ShowWork"));
    EXPECT_EQ("False", stored("ConfirmDel"));
    EXPECT_EQ("True", stored("CopyOnlyNewer")) << "disabled boxes are stored too";
    EXPECT_EQ("False", stored("ZipArchiveFlag"));
}

TEST_F(ConfigDialogsTest, AFailedSaveIsOneClearBoxAndTheDialogStaysOpen) {
    startUp();
    click(form1, "Button11");
    click(config, "CheckBox952");
    makeStoreUnwritable();
    click(config, "Button1");
    const QString file = platform::storeLocation(kQuorviaKey);
    EXPECT_EQ(QStringList{"warning:Settings Could Not Be Saved. Value: SchemeDir\nFile: " + file},
              dialogs.dialogue());
    EXPECT_TRUE(config.isVisible());
    EXPECT_TRUE(state.settings.ShowWork) << "memory holds the new state";

    QDir().rmdir(file);
    click(config, "Button1");
    EXPECT_FALSE(config.isVisible());
    EXPECT_EQ("True", stored("ShowWork"));
}

TEST_F(ConfigDialogsTest, InfoExplainsTheCaption) {
    startUp();
    click(form1, "Button11");
    click(config, "Button4");
    ASSERT_EQ(1, dialogs.dialogue().size());
    EXPECT_TRUE(dialogs.dialogue()[0].startsWith(
        "information:When 'Check Space Prior' Is Selected You Will Be Provided With Percentage"));
}

TEST_F(ConfigDialogsTest, ZipLevelsTypedAndEntered) {
    startUp();
    state.settings.ZipCompression = 4;
    struct Case {
        const char* text;
        const char* box; // empty: taken
        int level;
    };
    const Case cases[] = {{"12", "warning:ZIP Compression Invalid", 4},
                          {"-1", "warning:ZIP Compression Invalid", 4},
                          {"abc", "warning:'abc' is not a valid integer value", 4},
                          {"5 ", "warning:'5 ' is not a valid integer value", 4},
                          {"", "warning:'' is not a valid integer value", 4},
                          {" 5", "", 5},
                          {"$6", "", 6}};
    for (const Case& c : cases) {
        dialogs.events.clear();
        zip.showDialog();
        ASSERT_TRUE(zip.isVisible());
        typeLevel(zip, c.text);
        QTest::keyClick(zip.level()->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(c.level, state.settings.ZipCompression) << c.text;
        if (*c.box) {
            EXPECT_EQ(QStringList{c.box}, dialogs.dialogue()) << c.text;
            EXPECT_TRUE(zip.isVisible()) << c.text;
            EXPECT_EQ("<absent>", stored("ZipCompression")) << c.text;
        } else {
            EXPECT_TRUE(dialogs.dialogue().isEmpty()) << c.text;
            EXPECT_FALSE(zip.isVisible()) << c.text;
            EXPECT_EQ(QString::number(c.level), stored("ZipCompression")) << c.text;
        }
    }
    // After a refused range the focus is back in the level.
    zip.showDialog();
    typeLevel(zip, "12");
    in<QWidget>(zip, "CheckBox1")->setFocus();
    click(zip, "Button1");
    QWidget* focus = zip.focusWidget();
    EXPECT_TRUE(focus == zip.level() || focus == zip.level()->lineEdit());
}

TEST_F(ConfigDialogsTest, ZipDefaultCancelAndOkAndAStoredLevelOutsideTheList) {
    startUp();
    invertDefaults(state.settings);
    state.settings.ZipCompression = 12;
    zip.showDialog();
    EXPECT_TRUE(zip.level()->currentText().isEmpty()) << "no item for 12";
    EXPECT_TRUE(checked(zip, "CheckBox1"));
    EXPECT_FALSE(checked(zip, "CheckBox2"));
    EXPECT_TRUE(checked(zip, "CheckBox3"));
    click(zip, "Button1");
    EXPECT_EQ(QStringList{"warning:'' is not a valid integer value"}, dialogs.dialogue());

    click(zip, "Button3");
    QTest::keyClick(&zip, Qt::Key_Escape);
    EXPECT_FALSE(zip.isVisible());
    EXPECT_EQ(12, state.settings.ZipCompression);
    EXPECT_EQ("<absent>", stored("ZipCompression"));

    zip.showDialog();
    click(zip, "Button3");
    EXPECT_EQ("3", zip.level()->currentText());
    click(zip, "Button1");
    EXPECT_FALSE(zip.isVisible());
    EXPECT_EQ("False", stored("ZipPassword"));
    EXPECT_EQ("True", stored("ZipStoreDir"));
    EXPECT_EQ("False", stored("Zip83Format"));
    EXPECT_EQ("3", stored("ZipCompression"));
    // Every config setting goes with it, as memory holds it.
    EXPECT_EQ("True", stored("ShowWork"));
    EXPECT_EQ("True", stored("ZipArchiveFlag"));
}
