#pragma once

#include <QString>

namespace quorvia {

// Where each scheme's Folder 2 lay at its last completed run: the mount folder
// of its file system. A share or stick that has gone leaves an empty folder on
// the system disk; a run must not mistake that for the destination. Kept
// beside the scheme files' own format, by scheme name and Folder 2 text.

// The mount folder of the last completed run to exactly this Folder 2, or
// empty when there is none on record.
QString RememberedMountFolder(const QString& schemeFile, const QString& folder2);
void RememberMountFolder(const QString& schemeFile, const QString& folder2,
                         const QString& mountFolder);
// A scheme saved again takes its folders as they now are.
void ForgetMountFolder(const QString& schemeFile);

} // namespace quorvia
