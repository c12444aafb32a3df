// The frame of the process: class registration, the framework's run with
// the start-up routine, and the release routine at the end.
#pragma once

#include "framework/Object.h"

namespace fw {
class FileType;
}

// The declared file types; set once at start-up.
namespace FileTypes {
extern fw::Ref<fw::FileType> pPrefsData;
}

// Registers every class with the run time.
void Initialize();
// Runs the framework: its initialisation calls Startup back, then the event
// loop runs until the application quits. Exceptions that come out of either
// go to the run time's unhandled-exception routine.
void Main();
// The start-up routine, in its order.
void Startup();
void InitPluginEntrypoints();
void InitFileTypes();
void NewAppInstance();
void ApplicationAddMenuHandlers();
void MakeDefaultView();
// Releases the cached sounds and cursor, the framework's statics, the menu
// bar and the file type, in this order.
void Finalize();
// The whole run; returns the exit status.
int RunPandrisk(int argc, char** argv);
