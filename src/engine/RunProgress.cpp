#include "engine/RunProgress.h"

#include "platform/LocaleText.h"

#include <algorithm>

namespace quorvia {

void UpdateProgressCaption(const AppState& state, UserPort& port) {
    const RunState& run = state.run;
    QString text =
        port.text(Field::Title).left(11) + " - " + QString::number(state.queue.QueueLast + 1);
    if (run.BytesNeeded > 0 && !state.flags.AbortRequested) {
        const double percent =
            std::min(100.0, double(run.ByteTotal) / double(run.BytesNeeded) * 100);
        text += " - " + platform::formatNumber(percent, 0).trimmed() + "%";
    }
    port.setText(Field::Title, text);
    port.setText(Field::Caption, text);
}

void ShowCheckingWindow(UserPort& port) {
    port.showCheckingWindow();
}

} // namespace quorvia
