#include "engine/Media.h"

#include "framework/Application.h"
#include "framework/FolderItem.h"

namespace {

constexpr int16_t kButtonCursorId = 168;

struct SoundCache {
  explicit SoundCache(const char* name) : fileName(name) {}
  const char* fileName;
  fw::Ref<fw::Sound> permaSound;
  bool loaded = false;
};

struct PictureCache {
  explicit PictureCache(const char* name) : fileName(name) {}
  const char* fileName;
  fw::Ref<fw::Picture> pic;
};

fw::Ref<fw::FolderItem> ResourceFile(const char* fileName) {
  fw::Ref<fw::FolderItem> folder = fw::ApplicationResourcesFolder();
  if (!folder) return nullptr;
  return folder->Child(fileName);
}

const fw::Ref<fw::Sound>& Load(SoundCache& c) {
  if (!c.loaded) {
    c.loaded = true;
    if (auto file = ResourceFile(c.fileName)) c.permaSound = file->OpenAsSound();
  }
  return c.permaSound;
}

const fw::Ref<fw::Picture>& Load(PictureCache& c) {
  if (!c.pic) {
    if (auto file = ResourceFile(c.fileName)) c.pic = file->OpenAsPicture();
  }
  return c.pic;
}

SoundCache silenceSnd{"SilenceSnd.wav"};
SoundCache soundVolSnd{"SoundVolSnd.wav"};
SoundCache pushSnd{"PushSnd.wav"};
SoundCache blockSnd{"BlockSnd.wav"};
SoundCache completeSnd{"CompleteSnd.wav"};

PictureCache iconPict{"IconPict.png"};
PictureCache drevakonPict{"DrevakonPict.png"};
PictureCache targetSystemPict{"TargetSystemPict.png"};
PictureCache backPict{"BackPict.png"};
PictureCache buttonPictN{"ButtonPictN.png"};
PictureCache buttonPictR{"ButtonPictR.png"};
PictureCache buttonPictD{"ButtonPictD.png"};
PictureCache buttonPictM{"ButtonPictM.png"};
PictureCache pushPict{"PushPict.png"};
PictureCache startBtnPictN{"StartBtnPictN.png"};
PictureCache startBtnPictR{"StartBtnPictR.png"};
PictureCache resetBtnPictN{"ResetBtnPictN.png"};
PictureCache resetBtnPictR{"ResetBtnPictR.png"};
PictureCache tile0Pict{"Tile0Pict.png"};
PictureCache tile1Pict{"Tile1Pict.png"};
PictureCache tile2Pict{"Tile2Pict.png"};
PictureCache completePict{"CompletePict.png"};
PictureCache tile3Pict{"Tile3Pict.png"};

fw::Ref<fw::MouseCursor> permaCursor;

}  // namespace

fw::Ref<fw::Sound> SilenceSnd() { return Load(silenceSnd); }
fw::Ref<fw::Sound> SoundVolSnd() { return Load(soundVolSnd); }
fw::Ref<fw::Sound> PushSnd() { return Load(pushSnd); }
fw::Ref<fw::Sound> BlockSnd() { return Load(blockSnd); }
fw::Ref<fw::Sound> CompleteSnd() { return Load(completeSnd); }

fw::Ref<fw::Picture> IconPict() { return Load(iconPict); }
fw::Ref<fw::Picture> DrevakonPict() { return Load(drevakonPict); }
fw::Ref<fw::Picture> TargetSystemPict() { return Load(targetSystemPict); }
fw::Ref<fw::Picture> BackPict() { return Load(backPict); }
fw::Ref<fw::Picture> ButtonPictN() { return Load(buttonPictN); }
fw::Ref<fw::Picture> ButtonPictR() { return Load(buttonPictR); }
fw::Ref<fw::Picture> ButtonPictD() { return Load(buttonPictD); }
fw::Ref<fw::Picture> ButtonPictM() { return Load(buttonPictM); }
fw::Ref<fw::Picture> PushPict() { return Load(pushPict); }
fw::Ref<fw::Picture> StartBtnPictN() { return Load(startBtnPictN); }
fw::Ref<fw::Picture> StartBtnPictR() { return Load(startBtnPictR); }
fw::Ref<fw::Picture> ResetBtnPictN() { return Load(resetBtnPictN); }
fw::Ref<fw::Picture> ResetBtnPictR() { return Load(resetBtnPictR); }
fw::Ref<fw::Picture> Tile0Pict() { return Load(tile0Pict); }
fw::Ref<fw::Picture> Tile1Pict() { return Load(tile1Pict); }
fw::Ref<fw::Picture> Tile2Pict() { return Load(tile2Pict); }
fw::Ref<fw::Picture> CompletePict() { return Load(completePict); }
fw::Ref<fw::Picture> Tile3Pict() { return Load(tile3Pict); }

fw::Ref<fw::MouseCursor> ButtonCursor() {
  if (!permaCursor) {
    if (fw::Ref<fw::ResourceFork> fork = fw::GetAppObject()->ResourceFork())
      permaCursor = fork->GetCursor(kButtonCursorId);
  }
  return permaCursor;
}

void ReleaseMediaCaches() {
  for (SoundCache* c : {&silenceSnd, &soundVolSnd, &pushSnd, &blockSnd, &completeSnd}) c->permaSound = nullptr;
  permaCursor = nullptr;
}
