// Framework-internal: the Qt side of pictures and drawing surfaces. Only the
// framework's own files include it (its .cpp files and WidgetsPrivate.h).
#pragma once

#include <QImage>
#include <functional>

class QPainter;

#include "framework/Graphics.h"

namespace fw {

struct PictureData {
  QImage image;
  int32_t depth = 32;
};

// What a Graphics draws into: an image, and what to do after each drawing
// operation (reduce a depth-1 or depth-8 picture, ask a control to repaint).
struct Surface {
  QImage* image = nullptr;
  int32_t depth = 32;
  std::function<void()> changed;
  // While set, drawing operations use this painter, already open on
  // `image`, instead of opening one each.
  QPainter* painter = nullptr;
  // Keeps the owner of `image` alive as long as the surface is.
  std::shared_ptr<void> owner;
};

// Reduces the image to what a picture of `depth` bits can hold.
void ReduceToDepth(QImage& image, int32_t depth);

inline const QImage* ImageOf(const Ref<Picture>& p) { return p ? &p->Data()->image : nullptr; }

}  // namespace fw
