// Placeholder until the audio output lands.
#include "framework/Sound.h"
