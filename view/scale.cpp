// The whole-number scale of a display, from what its desktop publishes.
#include "view/scale.h"

#include <charconv>

namespace glimmet {

namespace {

// A whole number at the start of `text` after blanks, or -1.
int LeadingNumber(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return -1;
  int value = -1;
  const auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), value);
  return error == std::errc() && end != text.data() + start ? value : -1;
}

// The value of the resource `name` in the resource manager's text, one
// "name:\tvalue" a line; empty where it is not there.
std::string_view Resource(std::string_view resources, std::string_view name) {
  while (!resources.empty()) {
    const std::size_t end = resources.find('\n');
    const std::string_view line = resources.substr(0, end);
    if (line.size() > name.size() && line.substr(0, name.size()) == name) {
      const std::size_t colon = line.find_first_not_of(" \t", name.size());
      if (colon != std::string_view::npos && line[colon] == ':') return line.substr(colon + 1);
    }
    if (end == std::string_view::npos) break;
    resources.remove_prefix(end + 1);
  }
  return {};
}

}  // namespace

int WholeScale(int dpi) {
  if (dpi <= 0) return 1;
  const int k = (dpi + kUnscaledDpi / 2) / kUnscaledDpi;
  return k < 1 ? 1 : k > kLargestScale ? kLargestScale : k;
}

int DesktopScale(std::string_view gdk_scale, std::string_view resources) {
  const std::string_view digits = gdk_scale.substr(0, gdk_scale.find_first_not_of("0123456789"));
  if (!gdk_scale.empty() && digits.size() == gdk_scale.size()) {
    const int k = LeadingNumber(gdk_scale);
    if (k >= 1) return k > kLargestScale ? kLargestScale : k;
  }
  return WholeScale(LeadingNumber(Resource(resources, "Xft.dpi")));
}

}  // namespace glimmet
