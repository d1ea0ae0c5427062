#include "ui/Main.h"
#include "ui/Browse.h"
#include "ui/CopyFrm.h"
#include "ui/Fonts.h"
#include "ui/QtDialogs.h"
#include "ui/SingleInstance.h"
#include "ui/Temp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvia");
    QApplication::setApplicationDisplayName("Quorvia");
    QApplication::setWindowIcon(QIcon(":/quorvia/quorvia.png"));
    quorvia::UseProgramFont();

    // A second copy shows the first one's window and ends before it reads
    // settings or touches a scheme.
    quorvia::SingleInstance guard(quorvia::SingleInstance::nameFor(argv[0]));
    if (!guard.claim())
        return 0;

    quorvia::AppState state;
    quorvia::QtDialogs dialogs;
    quorvia::TForm1 form1(state, dialogs);
    dialogs.setParent(&form1);
    quorvia::TForm2 form2(state, form1.port(), &form1);
    quorvia::TForm3 form3(state, &form1);
    quorvia::TForm4 form4(&form1);
    form1.setWindows(&form2, &form3, &form4);

    QObject::connect(&guard, &quorvia::SingleInstance::raiseRequested, &form1, [&form1] {
        if (form1.isMinimized())
            form1.showNormal();
        form1.show();
        form1.raise();
        form1.activateWindow();
    });

    form1.show();
    form1.startTimers();
    return app.exec();
}
