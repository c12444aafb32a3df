#include "ContactSheet.h"

#include <QPainter>
#include <cmath>
#include <iterator>

#include "Art.h"

using namespace art;
using namespace layout;

namespace {

constexpr int kSheetWidth = 1400;
constexpr int kMargin = 24;
const QColor kSheetColour(0xE6, 0xE4, 0xE0);
const QColor kTextColour(0x30, 0x30, 0x30);

// What the game window shows at one moment.
struct Frame {
  int pattern = 0;
  int kickRow = -1;  // the row that slides, or -1 when nothing moves
  int slide = 0;     // its displacement step, 1..4
  bool buttonsDisabled = false;
  bool complete = true;
};

QImage ComposeWindow(const std::vector<NamedPicture>& pics, const Frame& f) {
  QImage window = FindPicture(pics, "BackPict").convertToFormat(QImage::Format_RGB32);
  QPainter p(&window);
  // The board: its own picture, the backdrop under it, then the tiles.
  QImage board = window.copy(0, 0, kBoardWidth, kBoardHeight);
  {
    QPainter b(&board);
    const QImage tiles = FindPicture(pics, QString("Tile%1Pict").arg(f.pattern));
    for (int y = 0; y < kBoardSize; ++y) {
      for (int x = 0; x < kBoardSize; ++x) {
        const int n = kBoardSize * y + x;  // solved: every tile at home
        const int dx = (y == f.kickRow) ? -kStepPixels * f.slide : 0;
        b.drawImage(QPoint(kCell * x + kBoardOrigin + dx, kCell * y + kBoardOrigin), tiles,
                    QRect(kCell * (n % kBoardSize), kCell * (n / kBoardSize), kCell, kCell));
      }
    }
    if (f.kickRow >= 0) {
      b.drawImage(QPoint(kPushMarkerX - kStepPixels * f.slide, kCell * f.kickRow + kBoardOrigin),
                  FindPicture(pics, "PushPict"));
    }
  }
  p.drawImage(0, 0, board);
  const QImage rowButton = FindPicture(pics, f.buttonsDisabled ? "ButtonPictD" : "ButtonPictN");
  for (int top : kRowButtonTop) p.drawImage(kRowButtonX, top, rowButton);
  p.drawImage(kStartButtonX, kStripY, FindPicture(pics, "StartBtnPictN"));
  p.drawImage(kResetButtonX, kStripY, FindPicture(pics, "ResetBtnPictN"));
  if (f.complete) p.drawImage(kMarkerX, kStripY, FindPicture(pics, "CompletePict"));
  return window;
}

QImage Scaled(const QImage& img, int factor) {
  return img.scaled(img.width() * factor, img.height() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// A checkerboard under transparent pictures, so that their alpha shows.
void Checker(QPainter& p, const QRect& r) {
  p.save();
  p.setClipRect(r);
  for (int y = r.top(); y <= r.bottom(); y += 8)
    for (int x = r.left(); x <= r.right(); x += 8)
      p.fillRect(x, y, 8, 8, ((x - r.left()) / 8 + (y - r.top()) / 8) % 2 ? QColor(0xBB, 0xBB, 0xBB) : Qt::white);
  p.restore();
}

class Sheet {
 public:
  explicit Sheet(int height) : image_(kSheetWidth, height, QImage::Format_RGB32) {
    image_.fill(kSheetColour);
    painter_.begin(&image_);
    painter_.setRenderHint(QPainter::TextAntialiasing);
  }

  void Heading(const QString& text) {
    NewRow();
    y_ += 8;
    painter_.setFont(JapaneseFont(20, true));
    painter_.setPen(kTextColour);
    painter_.drawText(QPoint(kMargin, y_ + 20), text);
    y_ += 34;
  }

  // Places an item of the given size in the flow and returns its rectangle,
  // with room for a caption below it.
  QRect Place(int w, int h) {
    if (x_ + w > kSheetWidth - kMargin && x_ > kMargin) NewRow();
    const QRect r(x_, y_, w, h);
    x_ += w + 20;
    rowHeight_ = std::max(rowHeight_, h + 36);
    return r;
  }

  void Caption(const QRect& r, const QString& line1, const QString& line2 = {}) {
    painter_.setFont(JapaneseFont(12, true));
    painter_.setPen(kTextColour);
    painter_.drawText(QPoint(r.left(), r.bottom() + 16), line1);
    if (!line2.isEmpty()) painter_.drawText(QPoint(r.left(), r.bottom() + 30), line2);
  }

  void NewRow() {
    if (x_ > kMargin) y_ += rowHeight_;
    x_ = kMargin;
    rowHeight_ = 0;
  }

  QPainter& Painter() { return painter_; }
  int Bottom() {
    NewRow();
    return y_ + kMargin;
  }
  QImage Finish() {
    painter_.end();
    return image_;
  }

 private:
  QImage image_;
  QPainter painter_;
  int x_ = kMargin, y_ = kMargin, rowHeight_ = 0;
};

void DrawWave(QPainter& p, const QRect& r, const std::vector<int16_t>& samples) {
  p.fillRect(r, QColor(0x1B, 0x23, 0x40));
  p.setPen(QColor(0x3A, 0x4B, 0x80));
  p.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
  if (samples.empty()) return;
  p.setPen(QColor(0xF5, 0xD8, 0x8C));
  // One column per pixel over a fixed 1 s span, so lengths compare.
  const double perColumn = kSampleRate / static_cast<double>(r.width());
  for (int x = 0; x < r.width(); ++x) {
    const size_t a = static_cast<size_t>(x * perColumn), b = static_cast<size_t>((x + 1) * perColumn);
    if (a >= samples.size()) break;
    int lo = 0, hi = 0;
    for (size_t i = a; i < b && i < samples.size(); ++i) {
      lo = std::min<int>(lo, samples[i]);
      hi = std::max<int>(hi, samples[i]);
    }
    const double half = r.height() / 2.0;
    p.drawLine(QPointF(r.left() + x, r.center().y() - hi / 32768.0 * half),
               QPointF(r.left() + x, r.center().y() - lo / 32768.0 * half));
  }
}

void Lay(Sheet& s, const std::vector<NamedPicture>& pictures, const Cursor& cursor,
         const std::vector<NamedSound>& sounds) {
  static const char* const kPatterns[] = {"0  環  ring", "1  数字  numbers", "2  花  flower", "3  リボン  ribbon"};
  s.Heading(QString::fromUtf8("The solved boards, as the game window shows them (1x)"));
  for (int pattern = 0; pattern < static_cast<int>(std::size(kPatterns)); ++pattern) {
    const QRect r = s.Place(kWindowWidth, kWindowHeight);
    s.Painter().drawImage(r.topLeft(), ComposeWindow(pictures, Frame{pattern}));
    s.Caption(r, QString::fromUtf8(kPatterns[pattern]));
  }
  {
    Frame push{0, 1, 2, true, false};
    const QRect r = s.Place(kWindowWidth, kWindowHeight);
    s.Painter().drawImage(r.topLeft(), ComposeWindow(pictures, push));
    s.Caption(r, "row 1 sliding (step 2 of 4)", "row buttons disabled, marker hidden");
  }
  {
    // The About window's pieces in place: icon, logo (shown on hover), badge.
    for (const char* icon : {"IconPict", "DrevakonPict"}) {
      const QRect r = s.Place(200, 80);
      QImage about = Blank(200, 80, Qt::white);
      QPainter a(&about);
      a.drawImage(16, 16, FindPicture(pictures, icon));
      a.drawImage(QPoint(180, 3), FindPicture(pictures, "TargetSystemPict"), QRect(0, 32, 16, 8));
      a.setFont(JapaneseFont(12, true));
      a.setPen(Qt::black);
      a.drawText(QPoint(64, 36), "Pandrisk");
      a.end();
      s.Painter().setPen(QColor(0x90, 0x90, 0x90));
      s.Painter().drawRect(r.adjusted(-1, -1, 0, 0));
      s.Painter().drawImage(r.topLeft(), about);
      s.Caption(r, QString("About window with %1").arg(icon));
    }
  }
  s.Heading("The same at 2x");
  for (int pattern = 0; pattern < static_cast<int>(std::size(kPatterns)); ++pattern) {
    const QRect r = s.Place(2 * kWindowWidth, 2 * kWindowHeight);
    s.Painter().drawImage(r.topLeft(), Scaled(ComposeWindow(pictures, Frame{pattern}), 2));
    s.Caption(r, QString::fromUtf8(kPatterns[pattern]));
  }

  s.Heading("Every picture at 1x and 4x");
  for (const NamedPicture& pic : pictures) {
    const QImage big = Scaled(pic.image, 4);
    const QRect r = s.Place(pic.image.width() + 12 + big.width(), big.height());
    const QRect one(r.topLeft(), pic.image.size());
    const QRect four(QPoint(r.left() + pic.image.width() + 12, r.top()), big.size());
    if (pic.image.hasAlphaChannel()) {
      Checker(s.Painter(), one);
      Checker(s.Painter(), four);
    }
    s.Painter().drawImage(one.topLeft(), pic.image);
    s.Painter().drawImage(four.topLeft(), big);
    s.Caption(r, pic.name + ".png", QString("%1 x %2").arg(pic.image.width()).arg(pic.image.height()));
  }

  s.Heading("Cursor 168 in Application.rsrc at 1x and 4x (hot spot marked)");
  {
    const QRect r = s.Place(16 + 12 + 64, 64);
    const QRect one(r.topLeft(), QSize(16, 16));
    const QRect four(QPoint(r.left() + 28, r.top()), QSize(64, 64));
    Checker(s.Painter(), one);
    Checker(s.Painter(), four);
    s.Painter().drawImage(one.topLeft(), CursorImage(cursor, 1));
    s.Painter().drawImage(four.topLeft(), CursorImage(cursor, 4));
    s.Painter().setPen(QPen(QColor(0xE0, 0x20, 0x20), 1));
    s.Painter().drawRect(four.left() + 4 * cursor.hotColumn, four.top() + 4 * cursor.hotRow, 3, 3);
    s.Caption(r, "ButtonCursor", QString("hot spot row %1, column %2").arg(cursor.hotRow).arg(cursor.hotColumn));
  }

  s.Heading("Sounds (each strip spans one second)");
  for (const NamedSound& snd : sounds) {
    const QRect r = s.Place(300, 60);
    DrawWave(s.Painter(), r, snd.samples);
    const Level level = Measure(snd.samples);
    auto db = [](double v) {
      return v > 0 ? QString::number(20 * std::log10(v), 'f', 1) + " dBFS" : QString("silent");
    };
    s.Caption(r, QString("%1.wav  %2 ms").arg(snd.name).arg(snd.samples.size() * 1000 / kSampleRate),
              QString("peak %1, loudness %2").arg(db(level.peak), db(level.loudness)));
  }
}

}  // namespace

QImage DrawContactSheet(const std::vector<NamedPicture>& pictures, const Cursor& cursor,
                        const std::vector<NamedSound>& sounds) {
  // Lay everything out once to learn the height, then for real.
  int height = 0;
  {
    Sheet measure(10);
    Lay(measure, pictures, cursor, sounds);
    height = measure.Bottom();
    measure.Finish();
  }
  Sheet sheet(height);
  Lay(sheet, pictures, cursor, sounds);
  return sheet.Finish();
}
