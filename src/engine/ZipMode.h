#pragma once

#include "app/UserPort.h"
#include "schemes/AppState.h"
#include "zip/ZipBoxes.h"
#include "zip/ZipMstr.h"

#include <QString>
#include <optional>

namespace quorvia {

// The password of one batch: asked when its first zip scheme with ZipPassword
// starts, kept in memory until the batch ends, never stored.
struct BatchPassword {
    bool asked = false;
    std::optional<QString> text; // nullopt: the user cancelled
};

// The archive of a scheme: Folder2, one '/', and the scheme file's name with
// "zip" for its last three characters ("Photos.sch" -> "Photos.zip").
QString ArchivePath(const SchemeRecord& scheme);

// Packs the source folder of queue slot 0 into its archive instead of copying.
// FilesCopied takes the files added; ByteTotal and RunErrors follow the
// component's events (ZipProgress, ZipMessage).
void ZipFolder(AppState& state, UserPort& port, zip::TZipMaster& zip, BatchPassword& password);

// The component's events, as the main window relays them.
void ZipProgress(AppState& state, Dialogs& dialogs, zip::ProgressType type, qint64 fileSize);
void ZipMessage(AppState& state, Dialogs& dialogs, int errorCode, const QString& message);

// The component's own boxes, through the program's questions.
class ZipBoxesOnDialogs : public zip::ZipBoxes {
public:
    explicit ZipBoxesOnDialogs(Dialogs& dialogs) : m_dialogs(dialogs) {}
    void plainBox(const QString& text) override { m_dialogs.plainBox(text); }
    void beep() override { m_dialogs.beep(); }

private:
    Dialogs& m_dialogs;
};

} // namespace quorvia
