// Draws the wizard picture (a PC linked to a drive cabinet) that every wizard
// page and the splash window show. Run it again after changing the drawing:
//   mkpicture ui/resources/wizard.png
//   mkpicture packaging/icons/48.png 48      (the desktop icons, one per size)
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kWidth = 69;
constexpr int kHeight = 83;

void drawPc(QPainter &p)
{
    p.setPen(QPen(QColor(40, 48, 60), 1));
    p.setBrush(QColor(214, 218, 224));
    p.drawRoundedRect(QRectF(3.5, 6.5, 30, 23), 2, 2); // monitor
    p.setBrush(QColor(32, 86, 150));
    p.drawRect(QRectF(6.5, 9.5, 24, 16)); // screen
    p.setPen(QPen(QColor(170, 210, 250), 1));
    for (int y = 12; y <= 22; y += 3)
        p.drawLine(QPointF(9, y + 0.5), QPointF(9 + (y % 2 ? 14 : 18), y + 0.5));
    p.setPen(QPen(QColor(40, 48, 60), 1));
    p.setBrush(QColor(190, 195, 203));
    p.drawRect(QRectF(14.5, 29.5, 8, 4));                  // stand
    p.drawRoundedRect(QRectF(2.5, 33.5, 32, 7), 1.5, 1.5); // keyboard
    p.setPen(QPen(QColor(120, 126, 136), 1));
    for (int x = 5; x <= 31; x += 3)
        p.drawPoint(QPointF(x + 0.5, 36.5));
}

void drawCabinet(QPainter &p)
{
    p.setPen(QPen(QColor(40, 48, 60), 1));
    p.setBrush(QColor(236, 140, 36));
    p.drawRect(QRectF(38.5, 28.5, 27, 51)); // cabinet
    p.setBrush(QColor(40, 44, 52));
    p.drawRect(QRectF(42.5, 32.5, 19, 9)); // display
    p.setPen(QPen(QColor(120, 240, 140), 1));
    p.drawLine(QPointF(45, 36.5), QPointF(56, 36.5));
    p.drawLine(QPointF(45, 38.5), QPointF(52, 38.5));
    p.setPen(QPen(QColor(40, 48, 60), 1));
    p.setBrush(QColor(250, 250, 250));
    for (int i = 0; i < 3; ++i)
        p.drawRect(QRectF(43.5 + i * 6, 45.5, 4, 3)); // keys
    p.setBrush(QColor(110, 60, 10));
    for (int y = 54; y <= 72; y += 4)
        p.drawLine(QPointF(43, y + 0.5), QPointF(61, y + 0.5)); // vents
    p.setBrush(QColor(60, 60, 60));
    p.drawRect(QRectF(50.5, 24.5, 4, 4)); // port on top
}

void drawCable(QPainter &p)
{
    QPainterPath cable(QPointF(18.5, 41));
    cable.cubicTo(QPointF(18.5, 62), QPointF(40, 12), QPointF(52.5, 24.5));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(30, 30, 30), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);
}

} // namespace

// With a size, a square desktop icon of that many pixels: the same drawing,
// scaled as a drawing rather than as pixels, centred on a clear square.
int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3)
        return 2;
    const int side = argc == 3 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    if (argc == 3 && side <= 0)
        return 2;
    QImage image(side ? side : kWidth, side ? side : kHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (side) {
        const qreal scale = qreal(side) / qMax(kWidth, kHeight);
        p.translate((side - kWidth * scale) / 2, (side - kHeight * scale) / 2);
        p.scale(scale, scale);
    }
    drawPc(p);
    drawCabinet(p);
    drawCable(p);
    p.end();
    return image.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
