#include "app/Startup.h"

#include "app/AboutWindow.h"
#include "app/App.h"
#include "app/ApplPreferences.h"
#include "app/HelpWindow.h"
#include "app/Menu.h"
#include "app/PrefsFile.h"
#include "app/ShadowFiler.h"
#include "engine/GameField.h"
#include "engine/Media.h"
#include "engine/OffscreenCanvas.h"
#include "engine/PeriodicTimer.h"
#include "engine/SoundPlayer.h"
#include "framework/Application.h"
#include "framework/Files.h"
#include "window/MainWindow.h"
#include "window/PictureButton.h"

namespace FileTypes {
fw::Ref<fw::FileType> pPrefsData;
}

namespace {

// The program's classes, each with its parent, in the order they are
// registered. A parent that comes later in the list is registered first.
const fw::ClassInfo kPictureButton{"PictureButton", "Canvas"};
const fw::ClassInfo kPeriodicTimer{"PeriodicTimer", "Timer"};
const fw::ClassInfo kOffscreenCanvas{"OffscreenCanvas", "Canvas"};
const fw::ClassInfo kProgramClasses[] = {
    {"Appl", "Application"},
    {"MainWindow", "Window"},
    {"MainWindow.KickButton", "PictureButton", &kPictureButton},
    {"MainWindow.GameHeltz", "PeriodicTimer", &kPeriodicTimer},
    {"Menu", "MenuBar"},
    {"TargetSystemDisplay", "Canvas"},
    {"ApplPreferences", "Object"},
    {"ShadowFiler", "Object"},
    {"SoundPlayer", "Object"},
    kPeriodicTimer,
    {"PeriodicThread", "Thread"},
    kOffscreenCanvas,
    kPictureButton,
    {"GameField", "OffscreenCanvas", &kOffscreenCanvas},
    {"AboutWindow", "Window"},
    {"HelpWindow", "Window"},
};

// Calls `code`; gives back the exception when it raised one of the
// framework's, and lets every other pass on.
std::exception_ptr CallFunctionWithExceptionHandling(const std::function<void()>& code) {
  try {
    code();
  } catch (const fw::RuntimeException&) {
    return std::current_exception();
  }
  return nullptr;
}

}  // namespace

void Initialize() {
  fw::RuntimeRegisterFrameworkClasses();
  fw::RuntimeRegisterClass({"FileType", "Object"});
  for (const auto& c : kProgramClasses) fw::RuntimeRegisterClass(c);
}

void Main() {
  try {
    fw::RuntimeSetExceptionHelper(CallFunctionWithExceptionHandling);
    fw::RunFrameworkInitialization(Startup);
    fw::RuntimeRun();
  } catch (...) {
    fw::RuntimeUnhandledException(std::current_exception());
  }
}

void Startup() {
  fw::RuntimeInitExternalClasses();
  InitPluginEntrypoints();
  InitFileTypes();
  NewAppInstance();
  ApplicationAddMenuHandlers();
  MakeDefaultView();
}

void InitPluginEntrypoints() { fw::RuntimeAllocatePluginEntrypointsTable(0); }

void InitFileTypes() {
  FileTypes::pPrefsData = fw::New<fw::FileType>();
  FileTypes::pPrefsData->Name("PrefsData");
  FileTypes::pPrefsData->Extensions("");
  FileTypes::pPrefsData->MacType(kPrefsFileType);
  FileTypes::pPrefsData->MacCreator(kAppCreator);
}

void NewAppInstance() {
  auto app = fw::New<Appl>();
  app->Constructor();
  app->MenuBar(Menu::Instance());
  fw::RuntimeRegisterAppObject(app);
}

void ApplicationAddMenuHandlers() {
  fw::Ref<Appl> app = App();
  std::weak_ptr<Appl> weak = app;
  app->AddMenuHandler("AppleAbout", [weak] { return fw::Ref<Appl>(weak.lock())->AppleAbout_Action(); });
  app->AddMenuHandler("HelpApp", [weak] { return fw::Ref<Appl>(weak.lock())->HelpApp_Action(); });
  app->AddMenuHandler("GameMenuSoundVol",
                      [weak](int32_t i) { return fw::Ref<Appl>(weak.lock())->GameMenuSoundVol_Action(i); });
}

void MakeDefaultView() { MainWindow::Instance(); }

void Finalize() {
  ReleaseMediaCaches();
  fw::RuntimeReleaseStatics();
  Menu::ReleaseInstance();
  FileTypes::pPrefsData = nullptr;
}

int RunPandrisk(int argc, char** argv) {
  fw::RuntimeInit(argc, argv);
  Initialize();
  Main();
  Finalize();
  return fw::RuntimeExit();
}
