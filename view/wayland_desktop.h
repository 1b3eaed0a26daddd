// What the field window needs to know of a Wayland compositor that SDL
// does not say: whether it draws the windows' frames itself.
#pragma once

namespace glimmet {

// True when the compositor named by WAYLAND_DISPLAY offers server-side
// decorations (xdg-decoration), as sway does; false when it does not, as
// weston does, or cannot be asked. Without them SDL frames the window with
// libdecor.
bool CompositorDecorates();

}  // namespace glimmet
