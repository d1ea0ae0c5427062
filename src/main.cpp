#include "commands/StartUp.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMap>
#include <QTimer>

namespace {

// Holds the fields until the main window takes them over.
class PlaceholderView : public quorvia::MainView {
public:
    explicit PlaceholderView(QWidget* window) : m_window(window) {}
    void setText(quorvia::Field field, const QString& text) override {
        m_texts[field] = text;
        if (field == quorvia::Field::Caption)
            m_window->setWindowTitle(text);
    }
    QString text(quorvia::Field field) const override { return m_texts.value(field); }
    void setOn(quorvia::Field, bool) override {}
    void focus(quorvia::Field) override {}
    void showCheckingWindow() override {}
    void hideProgressWindow() override {}
    void raiseProgressWindow() override {}
    void showWorkList(const QStringList&) override {}
    void refreshQueueStatus() override {}

private:
    QWidget* m_window;
    QMap<quorvia::Field, QString> m_texts;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorvia");
    QApplication::setApplicationDisplayName("Quorvia");

    quorvia::AppState state;
    QMainWindow window;
    window.setWindowTitle("Quorvia");
    window.setCentralWidget(new QLabel("Quorvia", &window));
    window.resize(480, 320);
    quorvia::QtDialogs dialogs(&window);
    PlaceholderView view(&window);
    quorvia::UserPort port{dialogs, view};

    // The start-up step runs once, shortly after the window is on screen.
    QTimer::singleShot(100, &window, [&] { quorvia::StartUp(state, port); });
    window.show();
    return app.exec();
}
