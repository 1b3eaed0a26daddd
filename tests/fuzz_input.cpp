// libFuzzer target: arbitrary terminal input, cut into pieces at arbitrary
// points and with arbitrary waits between them, must never crash the reader,
// grow its buffers without bound, or give a result of a length it never
// gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "console/input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  glimmet::InputState input;
  input.enabled_ = true;
  input.event_mask_ = 15;
  input.button_mask_ = glimmet::kButtonMaskBits;
  std::int64_t now = 0;
  std::size_t at = 0;
  while (at < size) {
    // The first byte of each piece says how long it is and how long after
    // the previous one it arrived.
    const std::uint8_t control = data[at++];
    const std::size_t length = std::min<std::size_t>(control & 31, size - at);
    now += control >> 5 << 4;
    glimmet::FeedTerminalBytes(input, std::string_view(reinterpret_cast<const char*>(data + at), length),
                               now, control & 1);
    at += length;
    glimmet::ExpireInput(input, now, true);
    for (int i = 0; i < 4; ++i) {
      const std::string result = glimmet::NextInput(input);
      if (result.size() == 3 || result.size() > 4) std::abort();
      if (result.size() == 4 && (input.mouse_row_ < 1 || input.mouse_column_ < 1)) std::abort();
    }
    if (input.pending_.size() > glimmet::kLongestSequence) std::abort();
    if (input.queue_.size() > glimmet::kQueueLimit) std::abort();
  }
  return 0;
}
