// The Windows console's input records as the reader takes them, apart from
// the console they come from, so that tests can feed them.
#pragma once

#include <windows.h>

#include <cstddef>

#include "console/input.h"

namespace glimmet {

// Queues the reader's record for each console record, as far as the queue
// has room: key and mouse records as they are (positions counted from 1),
// any other record as one that gives no result.
void QueueConsoleRecords(InputState& input, const INPUT_RECORD* records, std::size_t count);

}  // namespace glimmet
