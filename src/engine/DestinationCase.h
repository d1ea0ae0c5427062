#pragma once

#include "platform/FileIo.h"

#include <QByteArray>
#include <QHash>

namespace quorvia {

// Whether a destination tree keeps "report.txt" and "REPORT.txt" apart. A FAT
// stick or a share of another system holds both in one entry, and FUSE file
// systems may still give each spelling an inode number of its own: names are
// compared, never inode numbers.
enum class DestinationCase {
    Sensitive,    // every spelling an entry of its own
    Blind,        // one entry for all spellings, listed as it was written
    BlindRespelt, // one entry, listed in a spelling of the file system's own
};

// Asks the file system by a name of the engine's own and its other spelling,
// in an open folder of the tree. A folder where nothing can be made is taken
// as telling case apart: nothing will be written there either.
DestinationCase probeDestinationCase(platform::FileIo& io, int folder);

// The names one folder's walk gives a case-blind destination. Where the
// source folder holds several names of one entry, one of them has it, in
// every run alike: the one whose backup the destination lists, else the
// first in byte order. The others clash and are never written. A spelling the
// source no longer holds is the same file renamed, and is written over.
class FolderNames {
public:
    FolderNames(platform::FileIo& io, DestinationCase kind, int sourceFolder, int destinationFolder,
                bool fresh)
        : m_io(io), m_kind(kind), m_source(sourceFolder), m_destination(destinationFolder),
          m_fresh(fresh) {}

    // The name that has the entry `name` would write, or nullptr.
    const QByteArray* clashFor(const QByteArray& name);

private:
    void chooseOwners();

    platform::FileIo& m_io;
    DestinationCase m_kind;
    int m_source;
    int m_destination;
    bool m_fresh; // made by this run: nothing of an earlier one in it
    bool m_chosen = false;
    QHash<QByteArray, QByteArray> m_owner; // folded name -> the name that has the entry
};

} // namespace quorvia
