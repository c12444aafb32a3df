// A plain Qt window of the game window's size, for measuring the game beside
// it: it paints a picture on a coloured ground, and with "--tick" repaints
// itself every 80 ms as the game does.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {
class Plain : public QWidget {
 public:
  explicit Plain(const QString& picture) : image_(picture) {
    setWindowTitle("Plain");
    setFixedSize(236, 216);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x20, 0x40, 0x80));
    if (!image_.isNull()) p.drawImage(QPoint(4, 4), image_);
  }

 private:
  QImage image_;
};
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  Plain w(args.size() > 1 && !args[1].startsWith("--") ? args[1] : QString());
  w.show();
  QTimer tick;
  if (args.contains("--tick")) {
    QObject::connect(&tick, &QTimer::timeout, &w, [&w] { w.repaint(); });
    tick.start(80);
  }
  return app.exec();
}
