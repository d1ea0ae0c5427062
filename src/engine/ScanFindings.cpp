#include "engine/ScanFindings.h"

#include <QHashFunctions>
#include <algorithm>

namespace quorvia {

namespace {

// Two hashes of the path with unrelated seeds, each chained through the
// folders above; 128 bits in all.
constexpr uint64_t kSecondSeed = 0xC2B2AE3D27D4EB4Full;

ScanFindings::Key fileKey(ScanFindings::Key folder, const QByteArray& name) {
    const ScanFindings::Key key = ScanFindings::folderKey(folder, name);
    // One more round keeps a file apart from a folder of the same name.
    return {key.a * 0x9E3779B97F4A7C15ull + 1, key.b * 0x9E3779B97F4A7C15ull + 1};
}

} // namespace

ScanFindings::Key ScanFindings::folderKey(Key parent, const QByteArray& name) {
    return {uint64_t(qHash(name, size_t(parent.a))),
            uint64_t(qHash(name, size_t(parent.b ^ kSecondSeed)))};
}

void ScanFindings::start(const RunRequest& request) {
    m_pair = request.pair;
    m_options = request.options;
    m_finished = false;
    m_upToDate.clear();
}

void ScanFindings::addUpToDate(Key folder, const QByteArray& name) {
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

bool ScanFindings::upToDate(Key folder, const QByteArray& name) const {
    return std::binary_search(m_upToDate.begin(), m_upToDate.end(), fileKey(folder, name));
}

} // namespace quorvia
