// A plain Qt program of the game window's shape, for measuring the game
// beside it: a menu bar with Japanese titles (so that the same Japanese font
// is loaded), a 236 x 216 content area with an opaque 200 x 198 canvas, a
// 16 ms timer that reads the clock as the game's clock polls, and every
// 80 ms a full redraw of the canvas from a picture, painted at once. The
// game does all of this while idle, too.
//
//   plainwindow PICTURE
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// Redrawn into its offscreen image, then copied to the screen.
class Board : public QWidget {
 public:
  Board(QWidget* parent, const QImage& picture) : QWidget(parent), picture_(picture) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(200, 198);
    offscreen_ = QImage(200, 198, QImage::Format_RGB32);
    Redraw();
  }
  void Redraw() {
    QPainter p(&offscreen_);
    p.fillRect(offscreen_.rect(), QColor(0x20, 0x40, 0x80));
    if (!picture_.isNull()) p.drawImage(QPoint(4, 4), picture_);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(QPoint(0, 0), offscreen_);
  }

 private:
  QImage picture_;
  QImage offscreen_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  const QImage picture(args.size() > 1 ? args[1] : QString());

  QWidget top;
  top.setWindowTitle("Plain");
  auto* layout = new QVBoxLayout(&top);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QMenuBar(&top);
  for (const char* title : {"ファイル", "編集", "ゲーム", "ヘルプ"}) {
    QMenu* menu = bar->addMenu(QString::fromUtf8(title));
    menu->addAction(QString::fromUtf8("項目"));
  }
  layout->setMenuBar(bar);
  auto* content = new QWidget(&top);
  content->setFixedSize(236, 216);
  content->setAutoFillBackground(true);
  layout->addWidget(content);
  auto* board = new Board(content, picture);
  board->move(0, 0);
  top.show();

  QElapsedTimer clock;
  clock.start();
  qint64 due = 80;
  QTimer poll;
  poll.setTimerType(Qt::PreciseTimer);
  QObject::connect(&poll, &QTimer::timeout, board, [&] {
    if (clock.elapsed() < due) return;
    due += 80;
    board->Redraw();
    board->repaint();
  });
  poll.start(16);
  return app.exec();
}
