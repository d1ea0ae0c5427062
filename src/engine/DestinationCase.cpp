#include "engine/DestinationCase.h"

#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <vector>

namespace quorvia {

namespace {

QByteArray otherCase(const QByteArray& name) {
    QByteArray other = name;
    for (char& c : other)
        c = c >= 'a' && c <= 'z' ? char(c - 32) : c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    return other;
}

// One key for all spellings of a name. A name that is not UTF-8 folds its
// ASCII letters only, byte for byte.
QByteArray folded(const QByteArray& name) {
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decode(name);
    if (decode.hasError())
        return name.toLower();
    return text.toCaseFolded().toUtf8();
}

std::vector<QByteArray> namesIn(platform::FileIo& io, int folder) {
    std::vector<QByteArray> names;
    if (folder < 0 || io.listNames(folder, names) != 0)
        names.clear();
    return names;
}

} // namespace

DestinationCase probeDestinationCase(platform::FileIo& io, int folder) {
    QByteArray probe;
    int fd = -1;
    if (io.createTemporary(folder, probe, fd) != 0)
        return DestinationCase::Sensitive;
    io.close(fd);
    DestinationCase kind = DestinationCase::Sensitive;
    platform::FileStatus other;
    if (io.statAt(folder, otherCase(probe), other) == 0) {
        const std::vector<QByteArray> names = namesIn(io, folder);
        kind = std::find(names.begin(), names.end(), probe) != names.end()
                   ? DestinationCase::Blind
                   : DestinationCase::BlindRespelt;
    }
    io.remove(folder, probe);
    return kind;
}

void FolderNames::chooseOwners() {
    m_chosen = true;
    // Listed, not looked up: a case-blind source would find any spelling.
    QHash<QByteArray, std::vector<QByteArray>> spellings;
    for (const QByteArray& name : namesIn(m_io, m_source))
        spellings[folded(name)].push_back(name);
    QHash<QByteArray, QByteArray> listed;
    if (m_kind == DestinationCase::Blind && !m_fresh)
        for (const QByteArray& name : namesIn(m_io, m_destination))
            listed.insert(folded(name), name);
    for (auto group = spellings.begin(); group != spellings.end(); ++group) {
        std::vector<QByteArray>& names = group.value();
        if (names.size() < 2)
            continue; // one spelling in the source: no other file to lose
        const auto there = listed.constFind(group.key());
        const bool kept =
            there != listed.cend() && std::find(names.begin(), names.end(), *there) != names.end();
        m_owner.insert(group.key(), kept ? *there : *std::min_element(names.begin(), names.end()));
    }
}

const QByteArray* FolderNames::clashFor(const QByteArray& name) {
    if (m_kind == DestinationCase::Sensitive)
        return nullptr;
    if (!m_chosen)
        chooseOwners();
    const QByteArray key = folded(name);
    const auto owner = m_owner.constFind(key);
    if (owner != m_owner.cend())
        return *owner == name ? nullptr : &*owner;
    // Made in the source after it was listed: the first spelling has it.
    m_owner.insert(key, name);
    return nullptr;
}

} // namespace quorvia
