#include "app/ProgressText.h"

#include "results/CheckedSummary.h"

namespace app {

std::string ProgressText(const analysis::TProgress& progress) {
  if (progress.Phase == analysis::TProgress::TPhase::Scan) {
    return std::to_string(progress.Done) + (progress.Done == 1 ? " file" : " files") + " found";
  }
  return std::to_string(progress.Done) + " of " + std::to_string(progress.Total) + " files, " +
         results::SizeText(progress.Bytes) + " read";
}

}  // namespace app
