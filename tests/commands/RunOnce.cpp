// One run of one scheme in a process of its own, for the tests of runs that
// meet: prints every box it would show, one a line, and answers Ignore.
//   run_once SCHEME_FILE FOLDER1 FOLDER2 PUMP_DELAY_MS
#include "HeadlessPort.h"
#include "commands/RunQueue.h"
#include "schemes/SchemeFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>

using namespace quorvia;

namespace {

// Each pump takes a while: the run lasts long enough for another to meet it.
class SlowPort : public bench::HeadlessPort {
public:
    int delayMs = 0;
    void processPendingMessages() override { QThread::msleep(delayMs); }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 5)
        return 64;
    AppState state;
    Settings& s = state.settings;
    s.CopyOnlyNewer = s.CopyHidden = s.CopySystem = true;
    const QString schemeFile = QFile::decodeName(argv[1]);
    state.queue.slots[0] =
        SchemeRecord{schemeFile, QFile::decodeName(argv[2]), QFile::decodeName(argv[3])};
    state.queue.QueueLast = 0;
    SlowPort port;
    port.delayMs = std::atoi(argv[4]);
    port.onBox = [](const QString& text) {
        std::printf("%s\n", qPrintable(QString(text).replace('\n', ' ')));
        std::fflush(stdout);
    };
    RunQueue(state, port);
    return 0;
}
