// What the benchmark prints.
#pragma once

#include <string>
#include <vector>

#include "Runs.h"

namespace bench {

// printf to the standard output, flushed at once: progress shows as the run goes.
void Say(const char* format, ...);
// "Wine 8.0, 2 processors", or "Windows, ..." where Wine is not underneath.
std::string SystemName();
void PrintLevels(int popups, const std::vector<LevelFigures>& levels);
void PrintQuiet(bool showEvents, int popups, const std::vector<LevelFigures>& levels);
void PrintChurn(const ChurnFigures& churn);

}  // namespace bench
