#include "ui/Help.h"

#include "app/Alerts.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace quorvia {

std::function<bool(const QUrl&)> openHelpUrl;

namespace {

// Beside the executable, then the installed copy under share/quorvia.
QStringList programPlaces(const QString& name) {
    const QString program = QCoreApplication::applicationDirPath();
    return {QDir(program).filePath(name), QDir::cleanPath(program + "/../share/quorvia/" + name)};
}

QString firstFile(QStringList places, QStringList* lookedAt) {
    places.removeDuplicates();
    if (lookedAt)
        *lookedAt = places;
    for (const QString& place : places)
        if (QFileInfo(place).isFile())
            return place;
    return {};
}

bool openUrl(const QUrl& url) {
    return openHelpUrl ? openHelpUrl(url) : QDesktopServices::openUrl(url);
}

} // namespace

QString FindHelpFile(const QString& schemeDir, QStringList* lookedAt) {
    QStringList places;
    if (!schemeDir.trimmed().isEmpty())
        places << QDir(schemeDir).filePath(kHelpFileName);
    return firstFile(places + programPlaces(kHelpFileName), lookedAt);
}

void OpenHelp(Dialogs& dialogs, const QString& schemeDir, int context) {
    QStringList places;
    const QString file = FindHelpFile(schemeDir, &places);
    if (file.isEmpty()) {
        dialogs.messageBox(
            AlertKind::Warning,
            QString("The help file %1 was not found.\nLooked for:\n").arg(kHelpFileName) +
                places.join('\n'),
            0);
        return;
    }
    QUrl url = QUrl::fromLocalFile(file);
    if (context > 0)
        url.setFragment("context-" + QString::number(context));
    if (!openUrl(url))
        dialogs.messageBox(
            AlertKind::Warning,
            "The help file could not be opened: " + file + "\nOpen it in a web browser.", 0);
}

int HelpContextOf(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        const QVariant context = widget->property("helpContext");
        if (context.isValid())
            return context.toInt();
    }
    return 0;
}

void AddHelpKey(QWidget& window, Dialogs& dialogs, const Settings& settings) {
    auto* f1 = new QAction(&window);
    f1->setObjectName("HelpContext");
    f1->setShortcut(Qt::Key_F1);
    f1->setShortcutContext(Qt::WindowShortcut);
    window.addAction(f1);
    QObject::connect(f1, &QAction::triggered, &window, [&dialogs, &settings, &window] {
        const QWidget* focused = QApplication::focusWidget();
        OpenHelp(dialogs, settings.SchemeDir,
                 HelpContextOf(focused && focused->window() == &window ? focused : &window));
    });
}

QString FindVersionNotes(QStringList* lookedAt) {
    return firstFile(programPlaces(kVersionNotesName), lookedAt);
}

void ShowWhatsNew(Dialogs& dialogs, const Settings& settings) {
    QString note = "NEW/FIXED IN VERSION 1.10\nSee Version.txt file for more details.\n\n";
    QStringList places;
    const QString file = FindVersionNotes(&places);
    if (file.isEmpty())
        note += QString("%1 is missing: it belongs beside the program, at\n%2")
                    .arg(kVersionNotesName, places.first());
    ShowAlert(dialogs, settings, note, AlertKind::Information);
    if (!file.isEmpty() && !openUrl(QUrl::fromLocalFile(file)))
        dialogs.messageBox(AlertKind::Warning,
                           "The version notes could not be opened: " + file +
                               "\nOpen the file in a text editor.",
                           0);
}

} // namespace quorvia
