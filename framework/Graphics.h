// Colours, pictures and drawing surfaces.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/Object.h"

namespace fw {

// An opaque colour, kept as its 24-bit value &hRRGGBB.
struct Color {
  uint32_t value = 0;

  constexpr int Red() const { return static_cast<int>((value >> 16) & 0xFF); }
  constexpr int Green() const { return static_cast<int>((value >> 8) & 0xFF); }
  constexpr int Blue() const { return static_cast<int>(value & 0xFF); }
  // The HSV value (brightness) of the colour, 0.0 to 1.0.
  double Value() const;

  friend constexpr bool operator==(Color a, Color b) { return a.value == b.value; }
};

// Channels outside 0..255 are clamped.
Color RGB(int red, int green, int blue);

class Graphics;
struct PictureData;
struct Surface;

// A picture of a given width, height and depth (bits per pixel: 1, 8, 16,
// 24 or 32). A depth-1 picture holds black and white only: whatever is drawn
// into it is reduced to two levels, black where the HSV value of the drawn
// colour is below 0.5.
class Picture : public Object {
 public:
  // A new white picture; nil when it cannot be made (a size below 1 or above
  // 16384 pixels, or another depth).
  static Ref<Picture> New(int32_t width, int32_t height, int32_t depth);

  int32_t Width() const;
  int32_t Height() const;
  int32_t Depth() const;
  // The drawing surface of the picture; the same object on every call.
  Ref<fw::Graphics> Graphics();

  // Framework-internal: the pixels.
  explicit Picture(std::shared_ptr<PictureData> data);
  ~Picture() override;
  const std::shared_ptr<PictureData>& Data() const { return data_; }

 private:
  std::shared_ptr<PictureData> data_;
  Ref<fw::Graphics> graphics_;
};

// Loads a PNG (or another format the platform reads); nil on failure.
Ref<Picture> LoadPicture(const std::string& path);

// A drawing surface: a picture's or a control's.
class Graphics : public Object {
 public:
  explicit Graphics(std::shared_ptr<Surface> surface);
  ~Graphics() override;

  int32_t Width() const;
  int32_t Height() const;

  Color ForeColor() const { return foreColor_; }
  void ForeColor(Color c) { foreColor_ = c; }
  // True: no antialiasing and nearest-pixel scaling.
  bool UseOldRenderer() const { return useOldRenderer_; }
  void UseOldRenderer(bool on) { useOldRenderer_ = on; }

  // The picture with its top-left corner at (x, y), at natural size.
  void DrawPicture(const Ref<Picture>& p, int32_t x, int32_t y);
  // The source rectangle (sx, sy, sw, sh) scaled into the destination (x, y, w, h).
  void DrawPicture(const Ref<Picture>& p, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy,
                   int32_t sw, int32_t sh);
  // A piece of the destination's size, copied unscaled from (sx, sy).
  void DrawPicture(const Ref<Picture>& p, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy);
  // Fills the rectangle with ForeColor.
  void FillRect(int32_t x, int32_t y, int32_t w, int32_t h);
  // The colour of one pixel; white outside the surface.
  Color Pixel(int32_t x, int32_t y) const;
  void Pixel(int32_t x, int32_t y, Color c);

  const std::shared_ptr<Surface>& SurfaceData() const { return surface_; }

 private:
  std::shared_ptr<Surface> surface_;
  Color foreColor_{0};
  bool useOldRenderer_ = false;
};

}  // namespace fw
