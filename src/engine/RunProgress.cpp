#include "engine/RunProgress.h"

#include "app/Alerts.h"
#include "platform/LocaleText.h"

#include <algorithm>

namespace quorvia {

void UpdateProgressCaption(const AppState& state, MainView& view, int64_t inFlight) {
    const RunState& run = state.run;
    QString text = view.text(Field::Title).left(kBusyTitleLength) + " - " +
                   QString::number(state.queue.count());
    if (run.BytesNeeded > 0 && !state.flags.AbortRequested) {
        const double percent =
            std::min(100.0, double(run.ByteTotal + inFlight) / double(run.BytesNeeded) * 100);
        text += " - " + platform::formatNumber(percent, 0).trimmed() + "%";
    }
    view.setText(Field::Title, text);
    view.setText(Field::Caption, text);
}

void ShowCheckingWindow(MainView& view) {
    view.showCheckingWindow();
}

} // namespace quorvia
