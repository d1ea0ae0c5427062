#pragma once

#include "app/RunResult.h"
#include "app/Settings.h"
#include "engine/FolderPair.h"
#include "engine/RunObserver.h"
#include "zip/ZipMstr.h"

#include <QString>

namespace quorvia {

// The archive of a scheme: Folder 2, one '/', and the scheme file's name with
// "zip" for its last three characters ("Photos.sch" -> "Photos.zip").
QString ArchivePath(const QString& schemeFile, const QString& folder2);

// One zip run: the source packed into its archive with these options.
struct ZipRequest {
    FolderPair pair;
    QString archive;
    int level = 3;
    bool storeFolderNames = false;
    bool hidden = false;
    bool encrypt = false;
    QString password; // with `encrypt`; never kept after the run

    static ZipRequest of(const Settings& s, const FolderPair& pair, const QString& schemeFile);
};

// Packs the source into its archive through the zip component: FilesCopied
// takes the files added, ByteTotal the sizes the component announces; each
// message of the library with a code is a problem (ArchiveProblem). The
// archive's folder must exist. A stop request cancels the add at its next
// callback: the archive is then left as it was.
void ZipFolder(const ZipRequest& request, zip::TZipMaster& zip, RunResult& result,
               RunObserver& observer);

} // namespace quorvia
