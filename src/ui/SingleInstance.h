#pragma once

#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace quorvia {

// Lets one copy of the program run per executable name and user. A second
// copy asks the first to show its window, then ends. The lock lives in the
// user's runtime folder; a lock left by a crashed copy is taken over.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` as the title rule makes it from the executable's file name.
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True for the first copy (which then listens); false when another copy
    // runs, after asking it to raise its window.
    bool claim();

    // "quorvia-bin" -> "Quorvia-bin": the file name without folder and extension,
    // every character after the first lower-cased.
    static QString nameFor(const QString& executablePath);
    QString lockPath() const;
    QString serverName() const;

Q_SIGNALS:
    // Another copy was started: show the main window.
    void raiseRequested();
    // A command line handed these scheme files over, to be run as if each
    // had been chosen and Synch (Go) pressed.
    void runRequested(const QStringList& schemeFiles);

private:
    void serve(QLocalSocket* peer);

    QString m_name;
    QHash<QLocalSocket*, QStringList> m_handed;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};

} // namespace quorvia
