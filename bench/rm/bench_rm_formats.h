// The model-form loading benchmarks of bench_rm: glTF (.glb) and OBJ against Assimp.
#pragma once

#include <map>
#include <string>

namespace bench_rm {

void RegisterFormatBenchmarks();
// Speeds and ratios from the collected seconds per load.
void PrintFormatSummary(const std::map<std::string, double>& seconds);
// Peak memory of loading each file, ours and Assimp's; run it before anything else
// has grown the heap, or the loads reuse pages already resident and show nothing.
void PrintFormatPeakMemory();

}  // namespace bench_rm
