// The window part of the program, loaded by the executable only when no
// command-line option asks for something else: a run without a display never
// loads the GUI libraries.
#include "ui/Fonts.h"
#include "ui/QtDialogs.h"
#include "ui/SingleInstance.h"
#include "ui/Windows.h"

#include <QApplication>

extern "C" __attribute__((visibility("default"))) int quorvia_window_main(int argc, char** argv) {
    QApplication app(argc, argv);
    // No display name: Qt would append it to every window's title.
    QApplication::setApplicationName("Quorvia");
    quorvia::UseProgramFont();

    // A second copy shows the first one's window and ends before it reads
    // settings or touches a scheme.
    quorvia::SingleInstance guard(quorvia::SingleInstance::nameFor(argv[0]));
    if (!guard.claim())
        return 0;

    quorvia::AppState state;
    quorvia::QtDialogs dialogs;
    quorvia::ProgramWindows windows(state, dialogs);
    QApplication::setWindowIcon(QIcon(":/quorvia/quorvia.png"));
    quorvia::TForm1& form1 = windows.form1;
    dialogs.setParent(&form1);

    QObject::connect(&guard, &quorvia::SingleInstance::raiseRequested, &form1, [&form1] {
        if (form1.isMinimized())
            form1.showNormal();
        form1.show();
        form1.raise();
        form1.activateWindow();
    });
    // Queued: the command line has its answer before the batch starts.
    QObject::connect(
        &guard, &quorvia::SingleInstance::runRequested, &form1,
        [&form1](const QStringList& files) { form1.runHandedSchemes(files); },
        Qt::QueuedConnection);

    form1.show();
    form1.startTimers();
    return app.exec();
}
