// The game's pictures, sounds and button cursor. Each accessor loads its
// item on the first call and keeps it, so that every caller shares one
// object. A sound is tried once: a sound that failed to load stays missing
// for the run. A picture or the cursor is tried again on every call while it
// is missing. Pictures and sounds are files in the application's resources
// folder named after the accessor ("PushSnd.wav", "BackPict.png"); the
// cursor is resource 168 of the application's resource file.
#pragma once

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Object.h"
#include "framework/Sound.h"

fw::Ref<fw::Sound> SilenceSnd();
fw::Ref<fw::Sound> SoundVolSnd();
fw::Ref<fw::Sound> PushSnd();
fw::Ref<fw::Sound> BlockSnd();
fw::Ref<fw::Sound> CompleteSnd();

fw::Ref<fw::Picture> IconPict();
fw::Ref<fw::Picture> DrevakonPict();
fw::Ref<fw::Picture> TargetSystemPict();
fw::Ref<fw::Picture> BackPict();
fw::Ref<fw::Picture> ButtonPictN();
fw::Ref<fw::Picture> ButtonPictR();
fw::Ref<fw::Picture> ButtonPictD();
fw::Ref<fw::Picture> ButtonPictM();
fw::Ref<fw::Picture> PushPict();
fw::Ref<fw::Picture> StartBtnPictN();
fw::Ref<fw::Picture> StartBtnPictR();
fw::Ref<fw::Picture> ResetBtnPictN();
fw::Ref<fw::Picture> ResetBtnPictR();
fw::Ref<fw::Picture> Tile0Pict();
fw::Ref<fw::Picture> Tile1Pict();
fw::Ref<fw::Picture> Tile2Pict();
fw::Ref<fw::Picture> CompletePict();
fw::Ref<fw::Picture> Tile3Pict();

fw::Ref<fw::MouseCursor> ButtonCursor();

// Shut-down: releases the cached sounds (SilenceSnd, SoundVolSnd, PushSnd,
// BlockSnd, CompleteSnd, in that order) and then the cursor, while the
// platform is still up. The pictures stay until the process ends. A sound
// released here is not loaded again.
void ReleaseMediaCaches();
