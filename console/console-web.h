// What the web page's entry point needs of the console beyond the shared
// services: a page cannot sleep until input comes, so its frame loop asks
// whether any has.
#pragma once

#include "console/console.h"

namespace glimmet {

// True when the reader has something to give, or the page has bytes for it.
bool InputQueued(const Console& console);

}  // namespace glimmet
