#include "engine/ScanFindings.h"

#include <QHashFunctions>
#include <algorithm>

namespace quorvia {

namespace {

uint64_t fileKey(uint64_t folder, const QByteArray& name) {
    // The folder key seeds the name's hash; one more round keeps a file apart
    // from a folder of the same name.
    return uint64_t(qHash(name, size_t(folder))) * 0x9E3779B97F4A7C15ull + 1;
}

} // namespace

uint64_t ScanFindings::folderKey(uint64_t parent, const QByteArray& name) {
    return uint64_t(qHash(name, size_t(parent)));
}

void ScanFindings::start(const RunRequest& request) {
    m_pair = request.pair;
    m_options = request.options;
    m_finished = false;
    m_upToDate.clear();
}

void ScanFindings::addUpToDate(uint64_t folder, const QByteArray& name) {
    m_upToDate.push_back(fileKey(folder, name));
}

void ScanFindings::finish() {
    std::sort(m_upToDate.begin(), m_upToDate.end());
    m_upToDate.shrink_to_fit();
    m_finished = true;
}

bool ScanFindings::appliesTo(const RunRequest& request) const {
    return m_finished && m_pair.source == request.pair.source &&
           m_pair.destination == request.pair.destination && m_options == request.options;
}

bool ScanFindings::upToDate(uint64_t folder, const QByteArray& name) const {
    return std::binary_search(m_upToDate.begin(), m_upToDate.end(), fileKey(folder, name));
}

} // namespace quorvia
