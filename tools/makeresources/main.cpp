// makeresources: draws the game's pictures, synthesises its sounds and
// writes its resource file, always to the same bytes.
//
//   makeresources <output folder> [--sheet <contact sheet.png>]

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <cmath>
#include <cstdio>
#include <exception>

#include "Art.h"
#include "ContactSheet.h"
#include "Pictures.h"
#include "ResourceFile.h"
#include "Sounds.h"

namespace {

constexpr int16_t kButtonCursorId = 168;

bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "makeresources: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

bool WritePng(const QString& path, const QImage& image) {
  QImageWriter writer(path, "png");
  if (!writer.write(image)) {
    std::fprintf(stderr, "makeresources: cannot write %s: %s\n", qPrintable(path),
                 qPrintable(writer.errorString()));
    return false;
  }
  return true;
}

QString Decibels(double v) { return v > 0 ? QString::number(20 * std::log10(v), 'f', 1) : QString("-inf"); }

int Run(const QString& outDir, const QString& sheetPath) {
  QString error;
  if (!art::LoadJapaneseFont(&error)) {
    std::fprintf(stderr, "makeresources: %s\n", qPrintable(error));
    return 1;
  }
  if (!QDir().mkpath(outDir)) {
    std::fprintf(stderr, "makeresources: cannot make the folder %s\n", qPrintable(outDir));
    return 1;
  }
  const QDir dir(outDir);

  const std::vector<NamedPicture> pictures = DrawPictures();
  for (const NamedPicture& pic : pictures) {
    if (!WritePng(dir.filePath(pic.name + ".png"), pic.image)) return 1;
    std::printf("%-20s %3d x %3d\n", qPrintable(pic.name + ".png"), pic.image.width(), pic.image.height());
  }

  const std::vector<NamedSound> sounds = SynthesiseSounds();
  for (const NamedSound& snd : sounds) {
    if (!WriteBytes(dir.filePath(snd.name + ".wav"), WaveFile(snd.samples))) return 1;
    const Level level = Measure(snd.samples);
    std::printf("%-20s %4d ms  peak %6s dBFS  loudness %6s dBFS\n", qPrintable(snd.name + ".wav"),
                static_cast<int>(snd.samples.size() * 1000 / kSampleRate), qPrintable(Decibels(level.peak)),
                qPrintable(Decibels(level.loudness)));
  }

  const Cursor hand = PointingHand();
  if (!WriteBytes(dir.filePath("Application.rsrc"),
                  ResourceFile({{"CURS", kButtonCursorId, CursorResource(hand)}}))) {
    return 1;
  }
  std::printf("%-20s CURS %d, hot spot row %d column %d\n", "Application.rsrc", kButtonCursorId, hand.hotRow,
              hand.hotColumn);

  if (!sheetPath.isEmpty()) {
    if (!QDir().mkpath(QFileInfo(sheetPath).absolutePath())) {
      std::fprintf(stderr, "makeresources: cannot make the folder of %s\n", qPrintable(sheetPath));
      return 1;
    }
    if (!WritePng(sheetPath, DrawContactSheet(pictures, hand, sounds))) return 1;
    std::printf("contact sheet        %s\n", qPrintable(sheetPath));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Drawing needs no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);

  QString outDir, sheetPath;
  const QStringList args = app.arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == "--sheet" && i + 1 < args.size()) {
      sheetPath = args[++i];
    } else if (outDir.isEmpty() && !args[i].startsWith("-")) {
      outDir = args[i];
    } else {
      outDir.clear();
      break;
    }
  }
  if (outDir.isEmpty()) {
    std::fprintf(stderr, "usage: makeresources <output folder> [--sheet <contact sheet.png>]\n");
    return 2;
  }
  try {
    return Run(outDir, sheetPath);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "makeresources: %s\n", e.what());
    return 1;
  }
}
