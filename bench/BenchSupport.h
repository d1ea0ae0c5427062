#pragma once

// What the benchmarks share: generated trees, timed peer commands, the output
// line "<name> ratio <x> target <y>".
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

namespace quorvia::bench {

// Removed on a failure too.
void setBenchFolder(const QString& folder);
[[noreturn]] void fail(const QString& why);
// Runs a command to its end; seconds of wall time. A failure ends the benchmark.
double runTool(const QStringList& args);
void clear(const QString& folder);
// Incompressible bytes, quick to make.
void writeFile(const QString& path, qint64 size, quint64 seed);
// `folders` x `files` of `size` bytes under `root`.
void makeTree(const QString& root, int folders, int files, qint64 size);
// The quickest round: the one least disturbed by whatever else the machine does.
double best(const std::vector<double>& rounds);
void detail(const char* name, const std::vector<double>& ours, const std::vector<double>& theirs);
void print(const char* name, double value, double target);

} // namespace quorvia::bench
