// What the web page's entry point needs of the field's window beyond the
// view window's operations: the page shows the picture once a frame.
#pragma once

namespace glimmet {

// Puts the picture on the page's canvas if a redraw has been asked for
// since it was last put there.
void ShowPictureOnPage();

}  // namespace glimmet
