#include "engine/RunDisplay.h"

#include "engine/RunFormat.h"
#include "platform/LocaleText.h"

namespace quorvia {

void ShowRunCounters(const RunState& run, UserPort& port) {
    port.setText(Field::Label8, platform::formatCount(run.FolderCount));
    port.setText(Field::Label20, platform::formatCount(run.FilesCopied));
    port.setText(Field::Label13, platform::formatCount(run.RunErrors));
    port.setText(Field::Label11, "(" + FormatSize(double(run.ByteTotal)) + ")");
}

} // namespace quorvia
