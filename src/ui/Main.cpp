#include "ui/Main.h"

#include "app/Alerts.h"
#include "commands/RunCommands.h"
#include "commands/SchemeCommands.h"
#include "commands/StartUp.h"
#include "commands/WindowCommands.h"
#include "ui/Browse.h"
#include "ui/CopyFrm.h"
#include "ui/Help.h"
#include "ui/Links.h"
#include "ui/Temp.h"
#include "ui_Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <utility>

namespace quorvia {

namespace {
constexpr int kTimer1Ms = 100;
constexpr int kTimer2Ms = 15000;
constexpr int kSizeGap = 7;        // Label11 follows the file count
constexpr int kOfGap = 4;          // "of" follows the ordinal
constexpr int kQueueCountGap = 15; // the queue count follows "of"
} // namespace

TForm1::TForm1(AppState& state, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_state(state), m_dialogs(dialogs), m_port{dialogs, *this},
      m_ui(std::make_unique<Ui::TForm1>()), m_zip(this), m_zipBoxes(dialogs) {
    m_ui->setupUi(this);
    // A zip run routes ZipMaster1's progress and messages to itself while it adds.
    m_zip.SetBoxes(&m_zipBoxes);
    // An installed program keeps its zip library in <prefix>/lib/quorvia; a
    // build has it beside the executable, where the component looks anyway.
    const QString installed = QCoreApplication::applicationDirPath() + "/../lib/quorvia";
    if (QFileInfo::exists(installed + "/" + zip::TZipMaster::LibraryFileName()))
        m_zip.SetDLLDirectory(QDir::cleanPath(installed));
    setFixedSize(size());
    setWindowIcon(QIcon(":/quorvia/quorvia.png"));
    m_title = windowTitle();

    m_add = command("Add", m_ui->Button1->text(), &TForm1::AddClick);
    m_stats = command("Stats", m_ui->Button951->text(), &TForm1::StatsClick);
    m_statsQuiet = command("StatsQuiet", "Quorvia &Info", &TForm1::StatsQuietClick);
    m_sizeOfFolder1 = command("SizeOfFolder1", "Size Of Folder 1", &TForm1::SizeOfFolder1Click);
    m_folder2Info = command("Folder2Info", m_ui->Button10->text(), &TForm1::Folder2InfoClick);
    m_freeSpace2 =
        command("FreeSpaceInFolder2", "Free Space In Folder 2", &TForm1::FreeSpaceInFolder2Click);
    m_browse1 = command("Browse1", m_ui->Button5->text(), &TForm1::Browse1Click);
    m_browse2 = command("Browse2", m_ui->Button6->text(), &TForm1::Browse2Click);
    m_browseMenu1 = command("BrowseMenu1", "Browse For Folder 1", &TForm1::BrowseMenu1Click);
    m_browseMenu2 = command("BrowseMenu2", "Browse For Folder 2", &TForm1::BrowseMenu2Click);
    m_abort = command("Abort", m_ui->Button952->text(), &TForm1::AbortClick);
    m_delete = command("Delete", m_ui->Button2->text(), &TForm1::DeleteClick);
    m_about = command("About", m_ui->btnAbout->text(), &TForm1::AboutClick);
    m_help = command("Help", m_ui->Button3->text(), &TForm1::HelpClick);
    m_showWork = command("ShowWork", m_ui->Button8->text(), &TForm1::ShowWorkClick);
    m_showWorkQuiet = command("ShowWorkQuiet", "&Show Work", &TForm1::ShowWorkQuietClick);
    m_config = command("Config", m_ui->Button11->text(), &TForm1::ConfigClick);
    m_run = command("Run", m_ui->Button4->text(), &TForm1::RunClick);
    m_save = command("Save", "&Save Scheme", &TForm1::SaveClick);
    m_quit = command("Quit", m_ui->Button7->text(), &TForm1::QuitClick);

    bind(m_ui->Button1, m_add);
    bind(m_ui->Button951, m_stats);
    bind(m_ui->Button9, m_sizeOfFolder1);
    bind(m_ui->Button5, m_browse1);
    bind(m_ui->Button10, m_folder2Info);
    bind(m_ui->Button6, m_browse2);
    bind(m_ui->Button952, m_abort);
    bind(m_ui->Button2, m_delete);
    bind(m_ui->btnAbout, m_about);
    bind(m_ui->Button3, m_help);
    bind(m_ui->Button8, m_showWork);
    bind(m_ui->Button11, m_config);
    bind(m_ui->Button4, m_run);
    bind(m_ui->Button7, m_quit);
    // "Show &Work" of the window menu follows the button.
    m_showWork->setEnabled(false);
    m_showWorkQuiet->setEnabled(false);
    buildMenus();

    // F1 opens the help at the context of the control that has the focus.
    AddHelpKey(*this, m_dialogs, m_state.settings);

    QListWidget* list = m_ui->SchemeList;
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu1Popup();
        m_popup1->exec(m_ui->SchemeList->viewport()->mapToGlobal(at));
    });
    // A scheme loads when the user selects it; a list that merely takes the
    // focus moves its cursor but selects nothing, so typed folders stay.
    connect(list, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_showingList)
            return;
        const QList<QListWidgetItem*> selected = m_ui->SchemeList->selectedItems();
        SchemeListChange(m_state, m_port,
                         selected.isEmpty() ? -1 : m_ui->SchemeList->row(selected.first()));
    });
    connect(list, &QListWidget::itemDoubleClicked, this, [this] { m_run->trigger(); });
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
    m_ui->Edit1->installEventFilter(this);
    m_ui->Edit2->installEventFilter(this);
    connect(&m_state.schemeList, &SchemeList::changed, this, &TForm1::showSchemeList);

    m_timer1.setSingleShot(true);
    m_timer1.setInterval(kTimer1Ms);
    connect(&m_timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    m_timer2.setInterval(kTimer2Ms);
    connect(&m_timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    showSchemeList();
}

TForm1::~TForm1() = default;

void TForm1::setWindows(TForm2* browser, TForm3* workList, TForm4* progress) {
    m_browser = browser;
    m_workList = workList;
    m_progress = progress;
    if (m_browser)
        m_browser->onAccept = [this](const QString& folder) {
            (m_browseTargetIsFolder1 ? m_ui->Edit1 : m_ui->Edit2)->setText(folder);
            m_state.schemeList.reread();
        };
    if (m_progress)
        m_progress->onAbort = [this] {
            m_state.flags.AbortRequested = true;
            if (m_state.settings.ZipArchiveFlag)
                m_zip.SetCancelRequested(true);
        };
}

void TForm1::startTimers() {
    m_timer1.start();
    m_timer2.start();
}

QAction* TForm1::command(const char* name, const QString& text, void (TForm1::*slot)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

// A button is the face of its command: it triggers it and follows its enabled state.
void TForm1::bind(QAbstractButton* button, QAction* action) {
    connect(button, &QAbstractButton::clicked, action, &QAction::trigger);
    connect(action, &QAction::changed, button,
            [button, action] { button->setEnabled(action->isEnabled()); });
    button->setEnabled(action->isEnabled());
}

void TForm1::buildMenus() {
    // Each entry has the caption of its menu and triggers the shared command.
    auto entry = [this](QMenu* menu, const char* name, const QString& text, QAction* target) {
        QAction* item = menu->addAction(text);
        item->setObjectName(name);
        if (target)
            connect(item, &QAction::triggered, target, &QAction::trigger);
        return item;
    };
    auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(name);
    };

    m_popup1 = new QMenu(this);
    m_popup1->setObjectName("PopupMenu1");
    entry(m_popup1, "AddSchemeToQueue1", "&Add Scheme To Queue", m_run);
    entry(m_popup1, "DeleteScheme4", "&Delete Scheme", m_delete);
    separator(m_popup1, "Config1");
    entry(m_popup1, "QuorviaHelp1", "Quorvia &Help", m_help);
    entry(m_popup1, "QuorviaInfo1", "&Config Quorvia", m_config);
    entry(m_popup1, "QuitQuorvia1", "Quorvia &Info", m_statsQuiet);
    separator(m_popup1, "QuitQuorvia2");
    entry(m_popup1, "QuitQuorvia3", "&Quit Quorvia", m_quit);

    m_popup2 = new QMenu(this);
    m_popup2->setObjectName("PopupMenu2");
    entry(m_popup2, "AddScheme1", "A&dd Scheme To Queue", m_run);
    entry(m_popup2, "DeleteScheme3", "&Delete Scheme", m_delete);
    entry(m_popup2, "SaveScheme1", "&Save Scheme", m_save);
    separator(m_popup2, "N6");
    entry(m_popup2, "AboutQuorvia1", "&About Quorvia", m_about);
    entry(m_popup2, "Help1", "Quorvia &Help", m_help);
    entry(m_popup2, "ConfigQuorvia1", "&Config Quorvia", m_config);
    entry(m_popup2, "QuorviaInfo2", "Quorvia &Info", m_statsQuiet);
    separator(m_popup2, "N1");
    entry(m_popup2, "ShowWork2", "&Show Work", m_showWorkQuiet);
    entry(m_popup2, "Quit1", "&Abort Process", m_abort);
    separator(m_popup2, "N2");
    entry(m_popup2, "SizeOfFolder11", "Size Of Folder 1", m_sizeOfFolder1);
    entry(m_popup2, "BrowseForFolder11", "Browse For Folder 1", m_browseMenu1);
    separator(m_popup2, "N4");
    entry(m_popup2, "FreeSpaceInFolder21", "Free Space In Folder 2", m_freeSpace2);
    entry(m_popup2, "BrowseForFolder21", "Browse For Folder 2", m_browseMenu2);
    separator(m_popup2, "N5");
    entry(m_popup2, "Quit2", "&Quit", m_quit);
}

void TForm1::PopupMenu1Popup() {
    BeepIfSoundOn(m_dialogs, m_state.settings);
    const bool selected = m_state.schemeList.SchemeSelected();
    m_popup1->findChild<QAction*>("AddSchemeToQueue1")->setEnabled(selected);
    m_popup1->findChild<QAction*>("DeleteScheme4")->setEnabled(selected);
}

void TForm1::PopupMenu2Popup() {
    BeepIfSoundOn(m_dialogs, m_state.settings);
    const bool selected = m_state.schemeList.SchemeSelected();
    m_popup2->findChild<QAction*>("Quit1")->setEnabled(m_state.flags.Busy);
    m_popup2->findChild<QAction*>("AddScheme1")->setEnabled(selected);
    m_popup2->findChild<QAction*>("DeleteScheme3")->setEnabled(selected);
    m_popup2->findChild<QAction*>("ShowWork2")->setEnabled(m_showWork->isEnabled());
}

int TForm1::helpContextOf(const QWidget* widget) {
    return HelpContextOf(widget);
}

// The list shows the scheme files; a selection made by the program raises no change.
void TForm1::showSchemeList() {
    QListWidget* list = m_ui->SchemeList;
    const SchemeList& schemes = m_state.schemeList;
    m_showingList = true;
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    if (shown != schemes.items()) {
        list->clear();
        list->addItems(schemes.items());
    }
    list->setCurrentRow(schemes.selectedIndex());
    if (schemes.selectedIndex() < 0)
        list->clearSelection();
    m_showingList = false;
}

// Labels size to their text; the size and the queue count follow the numbers before them.
void TForm1::placeCounters() {
    // Only the width follows the text: the row keeps its height and baseline.
    auto fit = [](QLabel* label) { label->resize(label->sizeHint().width(), label->height()); };
    QLabel* files = m_ui->Label20;
    fit(files);
    fit(m_ui->Label11);
    m_ui->Label11->move(files->x() + files->width() + kSizeGap, m_ui->Label11->y());
    QLabel* ordinal = m_ui->Label17;
    fit(ordinal);
    m_ui->Label18->move(ordinal->x() + ordinal->width() + kOfGap, m_ui->Label18->y());
    m_ui->Label19->move(m_ui->Label18->x() + kQueueCountGap, m_ui->Label19->y());
    fit(m_ui->Label19);
}

void TForm1::setText(Field field, const QString& text) {
    switch (field) {
    case Field::Title:
        // The program's title is this window's: it is the program's entry in
        // the task bar. Set as Qt's display name it would trail every other
        // window's title.
        m_title = text;
        return;
    case Field::Caption:
        setWindowTitle(text);
        return;
    case Field::Folder1:
        m_ui->Edit1->setText(text);
        return;
    case Field::Folder2:
        m_ui->Edit2->setText(text);
        return;
    case Field::FilesCopiedCaption:
        m_ui->Label4->setText(text);
        return;
    case Field::LastRunDate:
        m_ui->Label5->setText(text);
        return;
    case Field::FoldersCopied:
        m_ui->Label8->setText(text);
        return;
    case Field::TotalTime:
        m_ui->Label10->setText(text);
        return;
    case Field::SizeCopied:
        m_ui->Label11->setText(text);
        break;
    case Field::Errors:
        m_ui->Label13->setText(text);
        return;
    case Field::SchemeRunning:
        m_ui->Label14->setText(text);
        return;
    case Field::SchemeOrdinal:
        m_ui->Label17->setText(text);
        break;
    case Field::QueueLength:
        m_ui->Label19->setText(text);
        break;
    case Field::FilesCopied:
        m_ui->Label20->setText(text);
        break;
    case Field::ShowWorkButton:
    case Field::AbortButton:
        return;
    }
    placeCounters();
}

QString TForm1::text(Field field) const {
    switch (field) {
    case Field::Title:
        return m_title;
    case Field::Caption:
        return windowTitle();
    case Field::Folder1:
        return m_ui->Edit1->text();
    case Field::Folder2:
        return m_ui->Edit2->text();
    case Field::FilesCopiedCaption:
        return m_ui->Label4->text();
    case Field::LastRunDate:
        return m_ui->Label5->text();
    case Field::FoldersCopied:
        return m_ui->Label8->text();
    case Field::TotalTime:
        return m_ui->Label10->text();
    case Field::SizeCopied:
        return m_ui->Label11->text();
    case Field::Errors:
        return m_ui->Label13->text();
    case Field::SchemeRunning:
        return m_ui->Label14->text();
    case Field::SchemeOrdinal:
        return m_ui->Label17->text();
    case Field::QueueLength:
        return m_ui->Label19->text();
    case Field::FilesCopied:
        return m_ui->Label20->text();
    case Field::ShowWorkButton:
        return m_ui->Button8->text();
    case Field::AbortButton:
        return m_ui->Button952->text();
    }
    return {};
}

void TForm1::setOn(Field field, bool on) {
    if (field == Field::AbortButton) {
        m_ui->Button952->setVisible(on);
    } else if (field == Field::ShowWorkButton) {
        m_showWork->setEnabled(on);
        m_showWorkQuiet->setEnabled(on);
    }
}

void TForm1::focus(Field field) {
    if (field == Field::Folder1)
        m_ui->Edit1->setFocus();
    else if (field == Field::Folder2)
        m_ui->Edit2->setFocus();
}

void TForm1::showCheckingWindow() {
    if (m_progress)
        m_progress->showChecking();
}

void TForm1::hideProgressWindow() {
    if (m_progress)
        m_progress->hideWindow();
}

void TForm1::raiseProgressWindow() {
    if (m_progress && m_progress->isVisible())
        m_progress->raise();
}

void TForm1::showWorkList(const QStringList& lines) {
    if (m_workList)
        m_workList->showWork(lines);
}

void TForm1::refreshQueueStatus() {
    if (refreshStats)
        refreshStats();
}

bool TForm1::FormCloseQuery() {
    return CloseQuery(m_state, m_dialogs);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    QApplication::quit();
}

void TForm1::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenu2Popup();
    m_popup2->exec(event->globalPos());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // A right click opens the list's menu without selecting the item under it.
    if (watched == m_ui->SchemeList->viewport() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick ||
         event->type() == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
        return true;
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == m_ui->SchemeList) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_run->trigger();
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            m_delete->trigger();
            return true;
        }
    } else if (watched == m_ui->Edit1 || watched == m_ui->Edit2) {
        // Any key in a folder box: the boxes no longer show a saved scheme.
        switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
        case Qt::Key_F1:
            break;
        default:
            if (!(key->modifiers() & Qt::AltModifier))
                FolderBoxEdited(m_state, m_port);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::notYet(const QString& window) {
    SayNotAvailable(m_dialogs, window);
}

// The start-up step, once, shortly after the window is on screen.
void TForm1::Timer1Timer() {
    m_ui->Edit1->setFocus();
    if (showSplash)
        showSplash();
    m_timer1.stop();
    StartUp(m_state, m_port);
    hideProgressWindow();
    m_started = true;
    if (!m_handedEarly.isEmpty()) // handed over while the settings were not read yet
        QTimer::singleShot(0, this, [this] { runHandedSchemes(std::exchange(m_handedEarly, {})); });
}

void TForm1::Timer2Timer() {
    quorvia::Timer2Timer(m_state, m_port, &m_zip);
}

void TForm1::AddClick() {
    AddScheme(m_state, m_port);
}

void TForm1::StatsClick() {
    BeepIfSoundOn(m_dialogs, m_state.settings);
    StatsQuietClick();
}

void TForm1::StatsQuietClick() {
    if (showStats)
        showStats();
    else
        notYet("stats window");
}

void TForm1::SizeOfFolder1Click() {
    ReportFolderSize(m_state, m_port);
}

void TForm1::Folder2InfoClick() {
    ReportFolder2Info(m_state, m_port);
}

void TForm1::FreeSpaceInFolder2Click() {
    ReportFreeSpace(m_state, m_port);
}

void TForm1::browse(bool folder1, bool fromButton) {
    m_browseTargetIsFolder1 = folder1;
    if (!m_browser)
        return;
    const QString caption = folder1 ? "Select Folder 1" : "Select Folder 2";
    m_browser->browse(caption,
                      fromButton ? (folder1 ? m_ui->Edit1 : m_ui->Edit2)->text() : QString());
}

void TForm1::Browse1Click() {
    BeepIfSoundOn(m_dialogs, m_state.settings);
    browse(true, true);
}

void TForm1::Browse2Click() {
    BeepIfSoundOn(m_dialogs, m_state.settings);
    browse(false, true);
}

void TForm1::BrowseMenu1Click() {
    if (!m_state.flags.Busy)
        browse(true, false);
}

void TForm1::BrowseMenu2Click() {
    if (!m_state.flags.Busy)
        browse(false, false);
}

void TForm1::AbortClick() {
    m_state.flags.AbortRequested = true;
    if (m_state.settings.ZipArchiveFlag && m_zip.AddBusy())
        m_zip.SetCancelRequested(true);
}

void TForm1::DeleteClick() {
    DeleteSelectedScheme(m_state, m_port);
}

void TForm1::AboutClick() {
    BeepIfSoundOn(m_dialogs, m_state.settings);
    if (showAbout)
        showAbout();
    else
        notYet("about box");
}

void TForm1::HelpClick() {
    BeepIfSoundOn(m_dialogs, m_state.settings);
    OpenHelp(m_dialogs, m_state.settings.SchemeDir, 0);
}

void TForm1::ShowWorkClick() {
    BeepIfSoundOn(m_dialogs, m_state.settings);
    ShowWorkQuietClick();
}

void TForm1::ShowWorkQuietClick() {
    showWorkList(m_state.run.WorkList.lines());
}

void TForm1::ConfigClick() {
    raise();
    activateWindow();
    if (m_ui->Edit1->isEnabled())
        m_ui->Edit1->setFocus();
    if (showConfig)
        showConfig();
    else
        notYet("config dialog");
}

void TForm1::runHandedSchemes(const QStringList& schemeFiles) {
    if (!m_started) {
        m_handedEarly << schemeFiles;
        return;
    }
    RunHandedSchemes(m_state, m_port, schemeFiles, &m_zip);
}

void TForm1::RunClick() {
    RunSelectedScheme(m_state, m_port, &m_zip);
}

void TForm1::SaveClick() {
    if (!m_state.flags.Busy)
        SaveNewScheme(m_state, m_port);
}

void TForm1::QuitClick() {
    close();
}

} // namespace quorvia
