// The process-wide stop for brightness changes. Once the saver's fault filter has run, the
// process is dying: the watcher (or the filter itself) has put the brightness back from the
// record and removed it, so a change that a thread of the dying process still makes would be
// put back by nobody. Every write of a brightness (panel, power scheme, monitor) asks first.
#pragma once

namespace dp {

void StopBrightnessWrites() noexcept;
bool BrightnessWritesStopped() noexcept;

} // namespace dp
