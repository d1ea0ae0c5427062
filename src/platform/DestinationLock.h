#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace quorvia::platform {

// One run at a time writes a destination: a lock file in the user's runtime
// folder, named after the destination's real path (links and ".." resolved,
// so two spellings of one folder share it). A run that was killed leaves a
// stale lock, which the next one takes over.
class DestinationLock {
public:
    explicit DestinationLock(const QString& destination);
    ~DestinationLock();
    DestinationLock(const DestinationLock&) = delete;
    DestinationLock& operator=(const DestinationLock&) = delete;

    // Waits at most `waitMs` (0: not at all); true when this run holds the lock.
    bool tryLock(int waitMs = 0);
    // The lock file's path, for messages and tests.
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

// The destination's real path: the nearest existing folder resolved, the
// rest of the path as written.
QString realDestinationPath(const QString& destination);

} // namespace quorvia::platform
