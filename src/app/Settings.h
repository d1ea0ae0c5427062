#pragma once

#include <QString>

namespace quorvia {

// The options as the program works on them; loaded once at start-up.
struct Settings {
    QString SchemeDir;
    bool CheckPrior = false;
    bool ShowWork = false;
    bool SoundOn = false;
    bool Caps = false;
    bool ConfirmDel = false;
    bool Recycle = false;
    bool CopyOnlyNewer = false;
    bool CopyHidden = false;
    bool CopySystem = false;
    bool ResetArchiveFlag = false;
    bool ZipArchiveFlag = false;
    bool ZipPassword = false;
    int ZipCompression = 0;
    bool ZipStoreDir = false;
    bool Zip83Format = false;
    QString LastSchemeName;
};

} // namespace quorvia
