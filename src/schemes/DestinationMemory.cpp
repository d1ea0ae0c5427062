#include "schemes/DestinationMemory.h"

#include "platform/StateStore.h"

#include <QFileInfo>

namespace quorvia {

namespace {

constexpr char kFile[] = "destinations.ini";

// One group per scheme, named by its file name: the scheme folder may move.
QString group(const QString& schemeFile) {
    return QFileInfo(schemeFile).fileName();
}

} // namespace

QString RememberedMountFolder(const QString& schemeFile, const QString& folder2) {
    if (platform::readStateValue(kFile, group(schemeFile), "Folder2") != folder2)
        return {};
    return platform::readStateValue(kFile, group(schemeFile), "MountFolder").value_or(QString());
}

void RememberMountFolder(const QString& schemeFile, const QString& folder2,
                         const QString& mountFolder) {
    if (RememberedMountFolder(schemeFile, folder2) == mountFolder && !mountFolder.isEmpty())
        return; // as stored: a rewrite would only cost the disk two flushes
    // Not kept, the check is only missed once: nothing to tell the user.
    platform::writeStateValues(kFile, group(schemeFile),
                               {{"Folder2", folder2}, {"MountFolder", mountFolder}});
}

void ForgetMountFolder(const QString& schemeFile) {
    platform::removeStateGroup(kFile, group(schemeFile));
}

} // namespace quorvia
