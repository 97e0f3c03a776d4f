// Draws the window icon (a handheld meter with an upward arrow on its display) at 16, 32 and 48
// pixels into resources/. Run once when the icon changes; the PNG files are kept in the repository.
/*
   g++ -std=c++20 -fPIC scripts/make_icons.cpp -o /tmp/make_icons \
       $(pkg-config --cflags --libs Qt6Gui)
   QT_QPA_PLATFORM=offscreen /tmp/make_icons resources
*/
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cstdio>

namespace {

QImage draw_icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 48.0, size / 48.0);

    // The meter's body, with a dark rim that keeps its outline at 16 pixels.
    QPainterPath body;
    body.addRoundedRect(QRectF(8, 2, 32, 44), 6, 6);
    painter.fillPath(body, QColor(0xF2, 0xB1, 0x1D));
    painter.setPen(QPen(QColor(0x3A, 0x2A, 0x05), 2.5));
    painter.drawPath(body);

    // The display.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xC8, 0xE6, 0xC9));
    painter.drawRect(QRectF(13, 7, 22, 19));

    // The arrow: new firmware going up into the meter.
    painter.setBrush(QColor(0x1B, 0x5E, 0x20));
    painter.drawPolygon(
        QPolygonF({{24, 9}, {32, 17}, {27.5, 17}, {27.5, 24}, {20.5, 24}, {20.5, 17}, {16, 17}}));

    // The range dial.
    painter.setBrush(QColor(0x3A, 0x2A, 0x05));
    painter.drawEllipse(QPointF(24, 36), 6, 6);
    painter.setBrush(QColor(0xF2, 0xB1, 0x1D));
    painter.drawRect(QRectF(23, 30.5, 2, 5));
    return image;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    for (int size : {16, 32, 48}) {
        const QString path = QString("%1/icon-%2.png").arg(folder).arg(size);
        if (!draw_icon(size).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
