#include "zipdll/FileSpecs.h"

#include "zipdll/Reporter.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

namespace zipdll {

namespace {

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool matchesAll(const std::string& pattern) {
    return pattern == "*" || pattern == "*.*";
}

struct Pending {
    std::string path;
    std::string relative; // "" for the file pattern's own folder
    struct stat st {};
};

} // namespace

bool matchesPattern(const std::string& pattern, const std::string& name) {
    return matchesAll(pattern) || fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}

SpecReader::SpecReader(const WalkOptions& options, Reporter& reporter)
    : m_options(options), m_reporter(reporter) {}

bool SpecReader::isArchive(const struct stat& st) const {
    return m_options.haveArchive && st.st_dev == m_options.archiveDevice &&
           st.st_ino == m_options.archiveInode;
}

bool SpecReader::read(const std::string& given) {
    std::string fileSpec = given;
    while (fileSpec.size() > 1 && fileSpec.back() == '/')
        fileSpec.pop_back();
    if (fileSpec.empty()) {
        m_reporter.info("An empty file pattern was passed over");
        return true;
    }
    struct stat st {};
    // A folder named by the file pattern is entered even through a link;
    // nothing below it is followed.
    if (stat(fileSpec.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return walk(fileSpec, "*");
    if (lstat(fileSpec.c_str(), &st) == 0) {
        take(fileSpec, baseName(fileSpec), st);
        return true;
    }
    const int error = errno;
    const std::string last = baseName(fileSpec);
    if (last.find_first_of("*?[") != std::string::npos) {
        const std::string folder = last.size() == fileSpec.size() ? std::string(".")
                                   : fileSpec.size() == last.size() + 1
                                       ? std::string("/")
                                       : fileSpec.substr(0, fileSpec.size() - last.size() - 1);
        return walk(folder, last);
    }
    m_reporter.message(error, "Could not find " + fileSpec + ": " + systemError(error));
    return true;
}

bool SpecReader::walk(const std::string& folder, const std::string& pattern) {
    const bool folderEntries = !m_options.junkDirNames && m_options.recurse && matchesAll(pattern);
    std::vector<Pending> stack;
    stack.push_back({folder, std::string(), {}});
    while (!stack.empty()) {
        const Pending current = std::move(stack.back());
        stack.pop_back();
        if (folderEntries && !current.relative.empty()) {
            const std::string name = current.relative + "/";
            if (m_names.emplace(name, std::pair(current.st.st_dev, current.st.st_ino)).second)
                m_items.push_back({current.path, name, ItemKind::Folder, current.st, {}});
        }
        DIR* dir = opendir(current.path.c_str());
        if (!dir) {
            const int error = errno;
            m_reporter.message(error,
                               "Could not read folder " + current.path + ": " + systemError(error));
            continue;
        }
        std::vector<std::string> names;
        while (const dirent* d = readdir(dir)) {
            const std::string name = d->d_name;
            if (name == "." || name == "..")
                continue;
            if (!m_options.hidden && name[0] == '.')
                continue;
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        std::vector<Pending> folders;
        for (const std::string& name : names) {
            if (++m_seen % 256 == 0 && !m_reporter.progress()) {
                closedir(dir);
                return false;
            }
            const std::string path = joinPath(current.path, name);
            const std::string relative =
                current.relative.empty() ? name : current.relative + "/" + name;
            struct stat st {};
            if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                const int error = errno;
                m_reporter.message(error, "Could not read " + path + ": " + systemError(error));
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                if (m_options.recurse)
                    folders.push_back({path, relative, st});
            } else if (matchesPattern(pattern, name)) {
                take(path, relative, st);
            }
        }
        closedir(dir);
        for (auto it = folders.rbegin(); it != folders.rend(); ++it)
            stack.push_back(std::move(*it));
    }
    return true;
}

void SpecReader::take(const std::string& path, const std::string& relative, const struct stat& st) {
    if (isArchive(st)) {
        m_reporter.trace("The archive itself is not added: " + path);
        return;
    }
    ItemKind kind;
    if (S_ISREG(st.st_mode)) {
        kind = ItemKind::File;
    } else if (S_ISLNK(st.st_mode)) {
        kind = ItemKind::Link;
    } else {
        m_reporter.info("Passed over (not a file, folder or link): " + path);
        return;
    }
    const std::string name = m_options.junkDirNames ? baseName(relative) : relative;
    const auto [it, fresh] = m_names.emplace(name, std::pair(st.st_dev, st.st_ino));
    if (!fresh) {
        if (it->second != std::pair(st.st_dev, st.st_ino))
            m_reporter.message(ZIPDLL_ERR_DUPLICATE, "Passed over " + path +
                                                         ": another file is already stored as " +
                                                         name);
        return;
    }
    Item item{path, name, kind, st, {}};
    if (kind == ItemKind::File) {
        // Checked now so that one unreadable file cannot spoil the whole archive later.
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            m_reporter.message(error, "Could not read " + path + ": " + systemError(error));
            m_names.erase(name);
            return;
        }
        close(fd);
    } else {
        std::string target(size_t(std::max<off_t>(st.st_size, 255)) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || size_t(n) >= target.size()) {
            const int error = n < 0 ? errno : ENAMETOOLONG;
            m_reporter.message(error,
                               "Could not read the link " + path + ": " + systemError(error));
            m_names.erase(name);
            return;
        }
        target.resize(size_t(n));
        item.linkTarget = std::move(target);
    }
    m_items.push_back(std::move(item));
}

} // namespace zipdll
