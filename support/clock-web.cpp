// The local time of day in a web page, for the seed: the browser's clock in
// the user's time zone, to the millisecond, read as the desktop reads its
// own, so that a given time gives the same seed everywhere.
#include <emscripten.h>

#include "support/random.h"

namespace glimmet {

EM_JS(void, PageLocalTime, (int* parts), {
  const now = new Date();
  HEAP32[(parts >> 2) + 0] = now.getHours();
  HEAP32[(parts >> 2) + 1] = now.getMinutes();
  HEAP32[(parts >> 2) + 2] = now.getSeconds();
  HEAP32[(parts >> 2) + 3] = now.getMilliseconds();
});

double ClockSeconds() {
  int parts[4] = {};
  PageLocalTime(parts);
  return SecondsOfDay(parts[0], parts[1], parts[2], parts[3]);
}

}  // namespace glimmet
