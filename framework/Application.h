// The application object and the run time: start-up, the event loop,
// quitting and the exit status.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/MenuHandlers.h"
#include "framework/Object.h"

namespace fw {

class MenuBar;
class MouseCursor;

// The application's resource file: "Application.rsrc" in the resources
// folder, holding numbered resources by four-character type.
class ResourceFork : public Object {
 public:
  explicit ResourceFork(std::string bytes);
  // The 'CURS' resource of that number; nil when it is missing or damaged.
  Ref<fw::MouseCursor> GetCursor(int16_t id) const;
  // The bytes of a resource; empty when there is none.
  std::string Resource(const std::string& type, int16_t id) const;
  bool Valid() const { return valid_; }

 private:
  std::map<std::pair<std::string, int16_t>, std::string> resources_;
  bool valid_ = false;
};

class Application : public Object {
 public:
  Application();
  ~Application() override;

  // Raised once after start-up, before any window or control opens.
  virtual void Event_Open() {}
  // Raised when the application quits, after its windows have closed.
  virtual void Event_Close() {}
  // Raised whenever the menus are brought up to date.
  virtual void Event_EnableMenuItems() {}

  // True: the application quits when its last window closes.
  bool AutoQuit() const { return autoQuit_; }
  void AutoQuit(bool on) { autoQuit_ = on; }

  Ref<fw::MenuBar> MenuBar() const { return menuBar_; }
  void MenuBar(const Ref<fw::MenuBar>& m) { menuBar_ = m; }

  // Menu handlers bound by item name.
  void AddMenuHandler(const std::string& itemName, std::function<bool()> handler);
  void AddMenuHandler(const std::string& itemName, std::function<bool(int32_t)> handler);
  bool HandleMenuCommand(const std::string& itemName, int32_t index);

  // The resource file; nil when the application has none.
  Ref<fw::ResourceFork> ResourceFork();

  // Closes every window (each told that the application is quitting), raises
  // Close and ends the event loop.
  void Quit();

  bool IsOpened() const { return opened_; }
  // Framework-internal: raises Open once.
  void OpenOnce();

 private:
  bool autoQuit_ = false;
  bool opened_ = false;
  bool resourcesTried_ = false;
  Ref<fw::MenuBar> menuBar_;
  Ref<fw::ResourceFork> resourceFork_;
  MenuHandlers menuHandlers_;
};

// The run time. The main routine calls these in order: RuntimeInit,
// RunFrameworkInitialization (which calls the start-up routine back),
// RuntimeRun (until the application quits), RuntimeExit (the exit status).
void RuntimeInit(int argc, char** argv);
void RunFrameworkInitialization(const std::function<void()>& startup);
void RuntimeRun();
int RuntimeExit();

void RuntimeRegisterAppObject(const Ref<Application>& app);
Ref<Application> GetAppObject();

// Reports an exception that reached the run time on standard error, with
// its class, and sets a failing exit status.
void RuntimeUnhandledException(std::exception_ptr e);
// Runs one piece of program code for the platform: an exception that
// escapes it is reported and ends the run through the usual shut-down.
void CallProgram(const std::function<void()>& code);

// The run time's record of classes: each class with its parent. Registering
// a class registers its parent first when that is not registered yet (from
// `parentInfo` when given); registering a class twice does nothing.
struct ClassInfo {
  const char* name;
  const char* parent;
  const ClassInfo* parentInfo = nullptr;
};
void RuntimeRegisterFrameworkClasses();
void RuntimeRegisterClass(const ClassInfo& info);
bool RuntimeIsClassRegistered(const std::string& name);
// The registered classes in the order they were registered.
std::vector<std::string> RuntimeRegisteredClasses();
// The framework's external classes; this platform has none to add.
void RuntimeInitExternalClasses();
// The plug-in entry-point table, kept for the framework; `count` entries.
void RuntimeAllocatePluginEntrypointsTable(int32_t count);
// The program's exception helper: runs the code it is given and returns the
// framework exception it raised, or nil; other exceptions pass on.
// CallProgram runs program code through it once it is set.
void RuntimeSetExceptionHelper(std::function<std::exception_ptr(const std::function<void()>&)> helper);
// Releases the framework's own statics at the end of the run: windows
// waiting to be released, the window list and the class records.
void RuntimeReleaseStatics();

// The automatic wait cursor, shown while program code runs for long.
void DisableAutoWaitCursor();
void EnableAutoWaitCursor();

namespace System {
// True while a mouse button is held down.
bool MouseDown();
}  // namespace System

}  // namespace fw
