#include "schemes/LastRunDisplay.h"

#include "app/RunFormat.h"
#include "platform/LocaleText.h"

namespace quorvia {

void ShowRunCounters(const RunState& run, MainView& view) {
    view.setText(Field::FoldersCopied, platform::formatCount(run.FolderCount));
    view.setText(Field::FilesCopied, platform::formatCount(run.FilesCopied));
    view.setText(Field::Errors, platform::formatCount(run.RunErrors));
    view.setText(Field::SizeCopied, "(" + FormatSize(double(run.ByteTotal)) + ")");
}

void ClearLastRunDisplay(MainView& view) {
    view.setText(Field::LastRunDate, "Never");
    view.setText(Field::SizeCopied, QString());
    view.setText(Field::FoldersCopied, "0");
    view.setText(Field::Errors, "0");
    view.setText(Field::FilesCopied, "0");
    view.setText(Field::TotalTime, "N/A");
}

} // namespace quorvia
