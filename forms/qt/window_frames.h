#pragma once

namespace forms::qt {

// Call before the application opens the display: a compositor that started the program may
// have handed it a connection of its own, which opening the display takes over.
void noteCompositorConnection();

// On a Wayland compositor that draws windows' frames itself when asked (the decoration protocol
// of most desktops other than GNOME's), Qt's own title bar is left out; the compositor's is the
// one shown then anyway. Qt would otherwise load the system's whole OpenGL stack, about 50 MB,
// only to find out whether it could draw one. Elsewhere, and where the user has chosen for
// themselves, nothing changes. Call after the application exists and before any window is made.
void leaveFramesToCompositor();

}  // namespace forms::qt
