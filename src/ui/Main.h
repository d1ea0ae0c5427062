#pragma once

#include "app/AppState.h"
#include "app/MainView.h"
#include "app/UserPort.h"
#include "commands/ZipBoxesOnDialogs.h"
#include "zip/ZipMstr.h"

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class QAction;
class QAbstractButton;
class QLabel;
class QMenu;

namespace Ui {
class TForm1;
}

namespace quorvia {

class TForm2;
class TForm3;
class TForm4;

// The main window: the scheme list, the folder boxes, the last-run record and
// the queue progress, the command buttons and the two pop-up menus. Every
// command calls the layers below; the window only shows what they write.
class TForm1 : public QWidget, public MainView {
    Q_OBJECT
public:
    TForm1(AppState& state, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TForm1() override;

    UserPort& port() { return m_port; }
    AppState& state() { return m_state; }

    // The secondary windows, created after this one.
    void setWindows(TForm2* browser, TForm3* workList, TForm4* progress);
    // The secondary windows created after this one; a command without its
    // window says so plainly. refreshStats follows the queue in the stats
    // dialog while it is open; showSplash runs in the start-up step.
    std::function<void()> showAbout, showConfig, showStats, refreshStats, showSplash;

    // Starts Timer1 (the one-shot start-up step) and Timer2 (the queue restart).
    void startTimers();
    QTimer& Timer1() { return m_timer1; }
    QTimer& Timer2() { return m_timer2; }
    zip::TZipMaster& ZipMaster1() { return m_zip; }
    // Schemes a command line handed over: queued as Synch (Go) queues them.
    void runHandedSchemes(const QStringList& schemeFiles);
    QMenu* PopupMenu1() const { return m_popup1; }
    QMenu* PopupMenu2() const { return m_popup2; }
    // The pop-up menus' enable rules, run as each opens.
    void PopupMenu1Popup();
    void PopupMenu2Popup();
    // Help context of a control (its own or its nearest parent's); 0 when none.
    static int helpContextOf(const QWidget* widget);

    // MainView
    void setText(Field field, const QString& text) override;
    QString text(Field field) const override;
    void setOn(Field field, bool on) override;
    void focus(Field field) override;
    void showCheckingWindow() override;
    void hideProgressWindow() override;
    void raiseProgressWindow() override;
    void showWorkList(const QStringList& lines) override;
    void refreshQueueStatus() override;

    // Every close goes here first.
    bool FormCloseQuery();

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* command(const char* name, const QString& text, void (TForm1::*slot)());
    void bind(QAbstractButton* button, QAction* action);
    void buildMenus();
    void showSchemeList();
    void placeCounters();
    void notYet(const QString& window);

    // Commands
    void Timer1Timer();
    void Timer2Timer();
    void AddClick();
    void StatsClick();
    void StatsQuietClick();
    void SizeOfFolder1Click();
    void Folder2InfoClick();
    void FreeSpaceInFolder2Click();
    void Browse1Click();
    void Browse2Click();
    void BrowseMenu1Click();
    void BrowseMenu2Click();
    void AbortClick();
    void DeleteClick();
    void AboutClick();
    void HelpClick();
    void ShowWorkClick();
    void ShowWorkQuietClick();
    void ConfigClick();
    void RunClick();
    void SaveClick();
    void QuitClick();
    void browse(bool folder1, bool fromButton);

    AppState& m_state;
    Dialogs& m_dialogs;
    UserPort m_port;
    std::unique_ptr<Ui::TForm1> m_ui;
    TForm2* m_browser = nullptr;
    TForm3* m_workList = nullptr;
    TForm4* m_progress = nullptr;
    zip::TZipMaster m_zip;
    ZipBoxesOnDialogs m_zipBoxes;
    QMenu* m_popup1 = nullptr;
    QMenu* m_popup2 = nullptr;
    QTimer m_timer1;
    QTimer m_timer2;
    QString m_title;
    bool m_browseTargetIsFolder1 = false; // BrowseTargetIsFolder1
    bool m_showingList = false;
    bool m_closing = false;
    bool m_started = false;    // the start-up step has read the settings and schemes
    QStringList m_handedEarly; // schemes handed over before that

    QAction* m_add = nullptr;
    QAction* m_stats = nullptr;
    QAction* m_statsQuiet = nullptr;
    QAction* m_sizeOfFolder1 = nullptr;
    QAction* m_folder2Info = nullptr;
    QAction* m_freeSpace2 = nullptr;
    QAction* m_browse1 = nullptr;
    QAction* m_browse2 = nullptr;
    QAction* m_browseMenu1 = nullptr;
    QAction* m_browseMenu2 = nullptr;
    QAction* m_abort = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_about = nullptr;
    QAction* m_help = nullptr;
    QAction* m_showWork = nullptr;
    QAction* m_showWorkQuiet = nullptr;
    QAction* m_config = nullptr;
    QAction* m_run = nullptr;
    QAction* m_save = nullptr;
    QAction* m_quit = nullptr;
};

} // namespace quorvia
