#include "platform/StateStore.h"

#include "platform/ProgramFolder.h"

#include <QSettings>
#include <cerrno>

namespace quorvia::platform {

namespace {

QString pathOf(const QString& file) {
    return stateFolder() + file;
}

int finish(QSettings& store) {
    store.sync();
    switch (store.status()) {
    case QSettings::NoError:
        return 0;
    case QSettings::AccessError:
        return EACCES;
    default:
        return EIO;
    }
}

} // namespace

std::optional<QString> readStateValue(const QString& file, const QString& group,
                                      const QString& name) {
    QSettings store(pathOf(file), QSettings::IniFormat);
    store.beginGroup(group);
    if (!store.contains(name))
        return std::nullopt;
    return store.value(name).toString();
}

int writeStateValues(const QString& file, const QString& group,
                     const QList<std::pair<QString, QString>>& values) {
    QSettings store(pathOf(file), QSettings::IniFormat);
    store.beginGroup(group);
    for (const auto& [name, text] : values)
        store.setValue(name, text);
    store.endGroup();
    return finish(store);
}

int removeStateGroup(const QString& file, const QString& group) {
    QSettings store(pathOf(file), QSettings::IniFormat);
    store.remove(group);
    return finish(store);
}

} // namespace quorvia::platform
