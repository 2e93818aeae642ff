// Peak resident size of one piece of work, measured in a forked child so
// that peaks of different runs never mix.
#pragma once

#include <functional>

namespace pagora {

struct PeakRss {
  bool ok = false;       // the child ran both parts and both gave true
  long start_kib = 0;    // resident size once the warm-up is done
  long peak_kib = 0;     // highest resident size from then on
  long growth_kib() const { return peak_kib - start_kib; }
};

// In a child process: runs `warm_up` (which touches the code and heap the
// work will use, so their first use is not counted), sets the peak back to
// the current size where the system allows it, reads the resident size,
// runs `work` and reads the peak.
PeakRss MeasureInChild(const std::function<bool()>& warm_up, const std::function<bool()>& work);

// A "Vm...:" figure of /proc/self/status in KiB, or -1 when it is missing.
long ReadStatusKib(const char* field);

}  // namespace pagora
