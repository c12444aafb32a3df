// The framework's seams for tests: driving windows with real input events,
// waiting for the event loop and reading back what a window shows.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Graphics.h"
#include "framework/Object.h"

namespace fw {
class Window;
class RectControl;
}  // namespace fw

namespace fw::testing {

// Brings up the platform for a test program (headless when no display is set).
void InitForTests(int argc, char** argv);
// Takes the platform down again; the test program's last call. `result` is
// the test program's exit status: the run time ends the process with it
// itself when a sound thread cannot be waited for.
void ShutdownForTests(int result = 0);

// Opens the registered application and the windows made so far, as the
// run time does before its event loop.
void StartApplication();

// Runs the event loop for about `ms` milliseconds (0: the pending events only).
void ProcessEvents(int32_t ms = 0);

// Mouse events in window coordinates, delivered as the platform delivers them.
void MouseMove(const Ref<Window>& w, int32_t x, int32_t y);
void MousePress(const Ref<Window>& w, int32_t x, int32_t y);
void MouseRelease(const Ref<Window>& w, int32_t x, int32_t y);
void Click(const Ref<Window>& w, int32_t x, int32_t y);
// A key press; `key` is one character or a name such as "Escape".
void KeyPress(const Ref<Window>& w, const std::string& key, bool ctrl = false);

// The centre of the i-th title of the window's menu bar, in the window's
// content coordinates (the menu bar lies above the content: y is negative);
// false when the window shows no such title.
bool MenuTitleCenter(const Ref<Window>& w, int32_t i, int32_t* x, int32_t* y);

// What the platform was told about a window.
struct WindowFrame {
  int32_t contentWidth = 0, contentHeight = 0;                       // the content area below the menu bar
  int32_t width = 0, height = 0;                                     // the whole client area, menu bar included
  int32_t minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;  // its limits
  bool closeButton = false, minimizeButton = false, maximizeButton = false;
  bool dialog = false;
  int32_t menuTitles = 0;  // titles shown in its menu bar
  std::string title;
};
WindowFrame FrameOf(const Ref<Window>& w);

// True when the platform shows a cursor of the control's own while the
// pointer is over it; false for the default cursor.
bool ShowsOwnCursor(const Ref<RectControl>& c);

// What the window's content area shows now, freshly painted.
Ref<Picture> GrabWindow(const Ref<Window>& w);
// What the control shows now.
Ref<Picture> GrabControl(const Ref<RectControl>& c);

// Counts, from this call on, the window's repaint requests waiting in the
// event queue and the paints of its content area (what lies under its
// controls). A later call starts the counts again.
struct PaintCounts {
  int32_t updateRequests = 0;
  int32_t contentPaints = 0;
};
void WatchPaints(const Ref<Window>& w);
PaintCounts PaintsSeen();

}  // namespace fw::testing
