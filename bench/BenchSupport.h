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
// A tree like a home folder's: `files` files in `folders` nested folders (each
// below a random earlier one), sizes log-normal around a median of 4 KiB (a
// mean of about 19 KiB), one name in twenty hidden. Returns the files' paths.
QStringList makeMixedTree(const QString& root, int files, int folders, quint64 seed);
// Sets the last-write time of `path` (seconds since the epoch).
void setModified(const QString& path, qint64 seconds);
// The peak resident memory, in KiB, of a command and every process it starts,
// added up: sampled from /proc while it runs.
double peakMemoryKiB(const QStringList& args);
// The quickest round: the one least disturbed by whatever else the machine does.
double best(const std::vector<double>& rounds);
void detail(const char* name, const std::vector<double>& ours, const std::vector<double>& theirs);
void print(const char* name, double value, double target);

} // namespace quorvia::bench
