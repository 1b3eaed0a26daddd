// One look at the compositor's globals, on a connection of its own.
#include "view/wayland_desktop.h"

#include <wayland-client.h>

#include <cstdint>
#include <cstring>

namespace glimmet {

namespace {

void OnGlobal(void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, "zxdg_decoration_manager_v1") == 0) *static_cast<bool*>(data) = true;
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

}  // namespace

bool CompositorDecorates() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return false;
  bool found = false;
  static const wl_registry_listener listener{OnGlobal, OnGlobalRemove};
  wl_registry* registry = wl_display_get_registry(display);
  if (registry != nullptr) {
    wl_registry_add_listener(registry, &listener, &found);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
  }
  wl_display_disconnect(display);
  return found;
}

}  // namespace glimmet
