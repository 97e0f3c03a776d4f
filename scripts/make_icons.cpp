// Draws the window icon (a handheld meter with an upward arrow on its display) into resources/:
// PNG files at 16, 32 and 48 pixels for the window and at 64, 128 and 256 pixels for desktops,
// and the same drawing as SVG for the hicolor theme's scalable size. One list of shapes feeds
// both, so the pictures cannot drift apart. Run once when the icon changes; the files are kept
// in the repository.
/*
   g++ -std=c++20 -fPIC scripts/make_icons.cpp -o /tmp/make_icons \
       $(pkg-config --cflags --libs Qt6Gui)
   QT_QPA_PLATFORM=offscreen /tmp/make_icons resources
*/
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

// The drawing is made on a grid of 48 by 48 units.
constexpr double kGrid = 48;

const QColor kBrass(0xF2, 0xB1, 0x1D);
const QColor kDarkBrown(0x3A, 0x2A, 0x05);
const QColor kDisplayGreen(0xC8, 0xE6, 0xC9);
const QColor kArrowGreen(0x1B, 0x5E, 0x20);

struct Outline {
    QColor color;
    double width;
};

// A rectangle (with round corners when `radius` is set), an ellipse or a polygon, filled and
// perhaps outlined.
struct Shape {
    enum class Kind { Rect, Ellipse, Polygon } kind;
    QRectF rect;
    QPolygonF points;
    double radius = 0;
    QColor fill;
    std::optional<Outline> outline;
};

std::vector<Shape> icon_shapes() {
    using Kind = Shape::Kind;
    return {
        // The meter's body, with a dark rim that keeps its outline at 16 pixels.
        {Kind::Rect, QRectF(8, 2, 32, 44), {}, 6, kBrass, Outline{kDarkBrown, 2.5}},
        // The display.
        {Kind::Rect, QRectF(13, 7, 22, 19), {}, 0, kDisplayGreen, std::nullopt},
        // The arrow: new firmware going up into the meter.
        {Kind::Polygon,
         {},
         QPolygonF({{24, 9}, {32, 17}, {27.5, 17}, {27.5, 24}, {20.5, 24}, {20.5, 17}, {16, 17}}),
         0,
         kArrowGreen,
         std::nullopt},
        // The range dial and its pointer.
        {Kind::Ellipse, QRectF(18, 30, 12, 12), {}, 0, kDarkBrown, std::nullopt},
        {Kind::Rect, QRectF(23, 30.5, 2, 5), {}, 0, kBrass, std::nullopt},
    };
}

QImage draw_png(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kGrid, size / kGrid);
    for (const Shape& shape : icon_shapes()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(shape.fill);
        switch (shape.kind) {
            case Shape::Kind::Rect:
                if (shape.radius > 0) {
                    QPainterPath path;
                    path.addRoundedRect(shape.rect, shape.radius, shape.radius);
                    painter.fillPath(path, shape.fill);
                    if (shape.outline) {
                        painter.setPen(QPen(shape.outline->color, shape.outline->width));
                        painter.setBrush(Qt::NoBrush);
                        painter.drawPath(path);
                    }
                } else {
                    painter.drawRect(shape.rect);
                }
                break;
            case Shape::Kind::Ellipse:
                painter.drawEllipse(shape.rect);
                break;
            case Shape::Kind::Polygon:
                painter.drawPolygon(shape.points);
                break;
        }
    }
    return image;
}

QString number(double value) {
    return QString::number(value, 'g', 6);
}

QString svg_paint(const Shape& shape) {
    QString paint = QStringLiteral(" fill=\"%1\"").arg(shape.fill.name());
    if (shape.outline)
        paint += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"")
                     .arg(shape.outline->color.name(), number(shape.outline->width));
    return paint;
}

QString draw_svg() {
    QString svg = QStringLiteral(
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                      "viewBox=\"0 0 %1 %1\">\n")
                      .arg(number(kGrid));
    for (const Shape& shape : icon_shapes()) {
        const QRectF& r = shape.rect;
        switch (shape.kind) {
            case Shape::Kind::Rect:
                svg +=
                    QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"")
                        .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()));
                if (shape.radius > 0)
                    svg += QStringLiteral(" rx=\"%1\" ry=\"%1\"").arg(number(shape.radius));
                break;
            case Shape::Kind::Ellipse:
                svg += QStringLiteral("  <ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\"")
                           .arg(number(r.center().x()), number(r.center().y()),
                                number(r.width() / 2), number(r.height() / 2));
                break;
            case Shape::Kind::Polygon: {
                QStringList points;
                for (const QPointF& point : shape.points)
                    points << number(point.x()) + u',' + number(point.y());
                svg += QStringLiteral("  <polygon points=\"%1\"").arg(points.join(u' '));
                break;
            }
        }
        svg += svg_paint(shape) + QStringLiteral("/>\n");
    }
    return svg + QStringLiteral("</svg>\n");
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = QString("%1/icon-%2.png").arg(folder).arg(size);
        if (!draw_png(size).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const QString path = folder + QStringLiteral("/icon.svg");
    QFile svg(path);
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(draw_svg().toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}
