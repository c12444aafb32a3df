#include "framework/Graphics.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <functional>
#include <map>
#include <mutex>

#include "framework/FilesPrivate.h"
#include "framework/GraphicsPrivate.h"

namespace fw {

namespace {
constexpr int32_t kMaxPictureSide = 16384;
constexpr uint64_t kMaxPictureFileBytes = uint64_t{64} << 20;

QRgb ToRgb(Color c) { return qRgb(c.Red(), c.Green(), c.Blue()); }

// Black where the HSV value is below one half, white elsewhere; transparent
// pixels count as white paper.
void ReduceToTwoLevels(QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = line[x];
      const int v = std::max({qRed(p), qGreen(p), qBlue(p)});
      const bool black = qAlpha(p) >= 128 && v * 2 < 255;
      line[x] = black ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    }
  }
}

// 256 colours: three bits of red and green, two of blue.
void ReduceTo332(QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = line[x];
      const int r = (qRed(p) >> 5) * 255 / 7;
      const int g = (qGreen(p) >> 5) * 255 / 7;
      const int b = (qBlue(p) >> 6) * 255 / 3;
      line[x] = qRgb(r, g, b);
    }
  }
}

QImage::Format FormatForDepth(int32_t depth) {
  switch (depth) {
    case 16: return QImage::Format_RGB16;
    case 24: return QImage::Format_RGB888;
    default: return QImage::Format_RGB32;  // 1, 8 (reduced after drawing) and 32
  }
}

std::shared_ptr<Surface> SurfaceFor(const std::shared_ptr<PictureData>& data) {
  auto s = std::make_shared<Surface>();
  s->image = &data->image;
  s->depth = data->depth;
  s->owner = data;
  if (data->depth == 1 || data->depth == 8) {
    PictureData* d = data.get();
    s->changed = [d] { ReduceToDepth(d->image, d->depth); };
  }
  return s;
}

}  // namespace

double Color::Value() const { return std::max({Red(), Green(), Blue()}) / 255.0; }

Color RGB(int red, int green, int blue) {
  auto clamp = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  return Color{(clamp(red) << 16) | (clamp(green) << 8) | clamp(blue)};
}

void ReduceToDepth(QImage& image, int32_t depth) {
  if (depth == 1) ReduceToTwoLevels(image);
  if (depth == 8) ReduceTo332(image);
}

Picture::Picture(std::shared_ptr<PictureData> data) : data_(std::move(data)) {}
Picture::~Picture() = default;

Ref<Picture> Picture::New(int32_t width, int32_t height, int32_t depth) {
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return nullptr;
  if (depth != 1 && depth != 8 && depth != 16 && depth != 24 && depth != 32) return nullptr;
  auto data = std::make_shared<PictureData>();
  data->image = QImage(width, height, FormatForDepth(depth));
  if (data->image.isNull()) return nullptr;
  data->image.fill(Qt::white);
  data->depth = depth;
  return fw::New<Picture>(std::move(data));
}

int32_t Picture::Width() const { return data_->image.width(); }
int32_t Picture::Height() const { return data_->image.height(); }
int32_t Picture::Depth() const { return data_->depth; }

Ref<Graphics> Picture::Graphics() {
  if (!graphics_) graphics_ = fw::New<fw::Graphics>(SurfaceFor(data_));
  return graphics_;
}

namespace {
// The contents of each file that could not be decoded, by path, as a hash:
// a decoder may report its failure on standard error, so the same bytes are
// not decoded again; changed contents are.
struct FailedPictures {
  std::mutex mutex;
  std::map<std::string, size_t> contents;
};
FailedPictures& Failed() {
  static FailedPictures f;
  return f;
}
}  // namespace

Ref<Picture> LoadPicture(const std::string& path) {
  // Read through the path's bytes: a file name need not be valid UTF-8.
  std::string bytes;
  if (!files::ReadRegularFile(path, kMaxPictureFileBytes, bytes)) return nullptr;
  const size_t contents = std::hash<std::string>{}(bytes);
  FailedPictures& failed = Failed();
  {
    std::lock_guard lock(failed.mutex);
    const auto it = failed.contents.find(path);
    if (it != failed.contents.end() && it->second == contents) return nullptr;
  }
  QByteArray encoded = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(false);
  const QSize size = reader.size();
  QImage image;
  if (!size.isValid() || (size.width() <= kMaxPictureSide && size.height() <= kMaxPictureSide))
    image = reader.read();
  {
    std::lock_guard lock(failed.mutex);
    if (image.isNull())
      failed.contents[path] = contents;
    else
      failed.contents.erase(path);
  }
  if (image.isNull()) return nullptr;
  auto data = std::make_shared<PictureData>();
  data->image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
  data->depth = 32;
  return fw::New<Picture>(std::move(data));
}

Graphics::Graphics(std::shared_ptr<Surface> surface) : surface_(std::move(surface)) {}
Graphics::~Graphics() = default;

int32_t Graphics::Width() const { return surface_->image ? surface_->image->width() : 0; }
int32_t Graphics::Height() const { return surface_->image ? surface_->image->height() : 0; }

namespace {
// Runs one drawing operation on the surface and then its after-drawing step.
template <class F>
void Paint(const Surface& s, bool oldRenderer, F&& draw) {
  if (s.image == nullptr || s.image->isNull()) return;
  auto drawWith = [&](QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, !oldRenderer);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !oldRenderer);
    draw(painter);
  };
  if (s.painter != nullptr) {
    drawWith(*s.painter);
  } else {
    QPainter painter(s.image);
    drawWith(painter);
  }
  if (s.changed) s.changed();
}
}  // namespace

void Graphics::DrawPicture(const Ref<Picture>& p, int32_t x, int32_t y) {
  const QImage* src = ImageOf(p);
  if (src == nullptr) return;
  Paint(*surface_, useOldRenderer_, [&](QPainter& g) { g.drawImage(QPoint(x, y), *src); });
}

void Graphics::DrawPicture(const Ref<Picture>& p, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                           int32_t sy, int32_t sw, int32_t sh) {
  const QImage* src = ImageOf(p);
  if (src == nullptr || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
  Paint(*surface_, useOldRenderer_,
        [&](QPainter& g) { g.drawImage(QRect(x, y, w, h), *src, QRect(sx, sy, sw, sh)); });
}

void Graphics::DrawPicture(const Ref<Picture>& p, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                           int32_t sy) {
  const QImage* src = ImageOf(p);
  if (src == nullptr || w <= 0 || h <= 0) return;
  Paint(*surface_, useOldRenderer_, [&](QPainter& g) { g.drawImage(QPoint(x, y), *src, QRect(sx, sy, w, h)); });
}

void Graphics::FillRect(int32_t x, int32_t y, int32_t w, int32_t h) {
  if (w <= 0 || h <= 0) return;
  const QColor c = QColor::fromRgb(ToRgb(foreColor_));
  Paint(*surface_, useOldRenderer_, [&](QPainter& g) { g.fillRect(QRect(x, y, w, h), c); });
}

Color Graphics::Pixel(int32_t x, int32_t y) const {
  const QImage* img = surface_->image;
  if (img == nullptr || x < 0 || y < 0 || x >= img->width() || y >= img->height()) return RGB(255, 255, 255);
  const QRgb p = img->pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

void Graphics::Pixel(int32_t x, int32_t y, Color c) {
  QImage* img = surface_->image;
  if (img == nullptr || x < 0 || y < 0 || x >= img->width() || y >= img->height()) return;
  img->setPixel(x, y, ToRgb(c));
  if (surface_->changed) surface_->changed();
}

}  // namespace fw
