// One picture that shows everything the tool makes, for review.
#pragma once

#include <QImage>
#include <vector>

#include "Pictures.h"
#include "ResourceFile.h"
#include "Sounds.h"

// The four solved boards as the game window shows them, a frame of a push,
// every picture at 1x and 4x, the cursor and the waveforms of the sounds.
QImage DrawContactSheet(const std::vector<NamedPicture>& pictures, const Cursor& cursor,
                        const std::vector<NamedSound>& sounds);
