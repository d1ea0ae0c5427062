#include "app/Alerts.h"
#include "app/AppState.h"
#include "app/SettingsLoader.h"
#include "platform/ProgramFolder.h"
#include "schemes/SchemeFile.h"
#include "ui/QtPort.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvia");
    QApplication::setApplicationDisplayName("Quorvia");

    quorvia::AppState state;
    QMainWindow window;
    window.setWindowTitle("Quorvia");
    window.setCentralWidget(new QLabel("Quorvia", &window));
    window.resize(480, 320);
    quorvia::QtPort port(&window);

    // The start-up step runs once, shortly after the window is on screen.
    QTimer::singleShot(100, &window, [&] {
        state.ProgramFolder = quorvia::platform::programFolder();
        state.run.SizeScanMode = false;
        quorvia::LoadSettings(state, port);
        quorvia::ClearLastRunDisplay(port);
        quorvia::ClearQueue(state.queue);
        state.flags.Busy = false;
    });
    window.show();
    return app.exec();
}
