#pragma once

#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace zipdll {

class Reporter;

enum class ItemKind { File, Link, Folder };

// One thing to put into the archive, as found when the file patterns were read.
struct Item {
    std::string path; // where it is read from
    std::string name; // name in the archive ("a/b.txt"; folders end in "/")
    ItemKind kind = ItemKind::File;
    struct stat st {};
    std::string linkTarget;
};

struct WalkOptions {
    bool recurse = false;
    bool hidden = false;       // take names beginning with "."
    bool junkDirNames = false; // names without their folders
    // The archive itself is never taken (it may lie inside the tree).
    bool haveArchive = false;
    dev_t archiveDevice = 0;
    ino_t archiveInode = 0;
};

// Reads file patterns into items. Each file pattern is a file, a folder
// (all its files), or a folder followed by a wildcard pattern ("*" and "?";
// "*.*" matches every name, as on DOS). Names in the archive are relative to
// the file pattern's folder. Links are taken as links and never followed;
// FIFOs, sockets and devices are passed over; unreadable files and folders
// are reported and left out.
class SpecReader {
public:
    SpecReader(const WalkOptions& options, Reporter& reporter);

    // False when the caller asked to stop.
    bool read(const std::string& fileSpec);
    std::vector<Item>& items() { return m_items; }

private:
    bool walk(const std::string& folder, const std::string& pattern);
    void take(const std::string& path, const std::string& relative, const struct stat& st);
    bool isArchive(const struct stat& st) const;

    WalkOptions m_options;
    Reporter& m_reporter;
    std::vector<Item> m_items;
    // Names taken so far, with the file that holds each.
    std::unordered_map<std::string, std::pair<dev_t, ino_t>> m_names;
    unsigned m_seen = 0;
};

// Whether `name` matches `pattern` the way file patterns match.
bool matchesPattern(const std::string& pattern, const std::string& name);

} // namespace zipdll
