// The window benchmarks, registered only where a window can be opened, so
// that the others run without a display.
#pragma once

namespace glimmet {

// BM_Pass, BM_Generation, BM_Redraw, BM_Plots, BM_XFloor and BM_SideBySide.
void RegisterWindowBenchmarks();

}  // namespace glimmet
