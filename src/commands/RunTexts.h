#pragma once

#include "app/RunResult.h"
#include "engine/RunObserver.h"

#include <QString>
#include <cstdint>

// The words of a run: what the window shows and an unattended run writes,
// made from the engine's facts.
namespace quorvia {

// A problem of a copy run, as its box says it.
QString ProblemText(const RunProblem& problem);
// Why a scheme was held back; empty for one whose box another step shows.
QString RefusalText(const Refusal& refused, const QString& folder1, const QString& folder2);
// The abort of a copy run or of a size scan.
QString CopyAbortedText();
QString ScanAbortedText();
// What the destination did not keep of finished copies.
QString NotKeptText(const NotKept& notKept);

// A folder for a report: in its own letter case, and "abc...<last 19>" when
// longer than 18 characters.
QString FolderDisplayText(const QString& folder);
// The size report. `freeBytes` is only shown when folder 2 is not blank.
QString SizeReport(const RunResult& scan, const QString& folder1, const QString& folder2,
                   int64_t freeBytes);
QString FreeSpaceText(const QString& display, int64_t freeBytes);
QString NotEnoughRoomText(int64_t needed, int64_t freeBytes);

} // namespace quorvia
