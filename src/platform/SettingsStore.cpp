#include "platform/SettingsStore.h"

#include <QSettings>
#include <QStringList>
#include <cerrno>
#include <memory>

namespace quorvia::platform {

namespace {
std::unique_ptr<QSettings> open(const QString& key) {
    QStringList parts = key.split('\\', Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.first().compare("Software", Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    const QString org = parts.isEmpty() ? QStringLiteral("Unknown") : parts.takeFirst();
    const QString app = parts.isEmpty() ? org : parts.join('/');
    auto store =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, org, app);
    // Only the program's own key: no values from the organisation's file or the system's.
    store->setFallbacksEnabled(false);
    return store;
}
} // namespace

std::optional<QString> readValue(const QString& key, const QString& name) {
    auto store = open(key);
    const QVariant v = store->value(name);
    if (!v.isValid())
        return std::nullopt;
    // An unquoted value with commas comes back as a list: take it as written.
    QString text =
        v.typeId() == QMetaType::QStringList ? v.toStringList().join(", ") : v.toString();
    // Readers take the text up to the first NUL.
    const int nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

int writeValue(const QString& key, const QString& name, const QString& text) {
    return writeValues(key, {{name, text}});
}

int writeValues(const QString& key, const QList<std::pair<QString, QString>>& values) {
    auto store = open(key);
    if (!store->isWritable())
        return EACCES;
    for (const auto& [name, text] : values)
        store->setValue(name, text);
    store->sync();
    return store->status() == QSettings::NoError ? 0 : EIO;
}

QString storeLocation(const QString& key) {
    return open(key)->fileName();
}

} // namespace quorvia::platform
