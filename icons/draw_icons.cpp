// Draws the password field's eye icons (an open eye and a struck-through eye) and the application's
// own icon into the directory given as the only argument, so that no binary image has to live in
// the source tree.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {
constexpr int side = 64;

QImage drawEye(bool struck)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(60, 60, 60);
    painter.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));

    QPainterPath outline;
    outline.moveTo(6, 32);
    outline.quadTo(32, 6, 58, 32);
    outline.quadTo(32, 58, 6, 32);
    painter.drawPath(outline);
    painter.setBrush(ink);
    painter.drawEllipse(QPointF(32, 32), 8, 8);

    if (struck) {
        // The gap beside the stroke is cut out of the eye, so the button's own colour shows through.
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(QPen(Qt::transparent, 9, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(12, 52), QPointF(52, 12));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(12, 52), QPointF(52, 12));
    }
    return image;
}

// A flow meter's dial on a blue tile: the needle in the green band, and the three wires of an
// RS485 line underneath.
QImage drawApplicationIcon()
{
    constexpr int size = 256;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient tile(0, 0, 0, size);
    tile.setColorAt(0, QColor(35, 110, 190));
    tile.setColorAt(1, QColor(15, 60, 120));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(8, 8, size - 16, size - 16), 40, 40);

    const QRectF dial(48, 40, 160, 160);
    painter.setPen(QPen(QColor(230, 235, 240), 14, Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(dial, 200 * 16, -220 * 16);
    painter.setPen(QPen(QColor(90, 200, 110), 14, Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(dial, 60 * 16, -60 * 16);

    const QPointF hub = dial.center();
    painter.setPen(QPen(QColor(255, 190, 40), 10, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(hub, hub + QPointF(52, -46));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 190, 40));
    painter.drawEllipse(hub, 14, 14);

    const QColor wires[] = {QColor(240, 240, 240), QColor(255, 190, 40), QColor(90, 200, 110)};
    for (int i = 0; i < 3; ++i) {
        painter.setPen(QPen(wires[i], 8, Qt::SolidLine, Qt::RoundCap));
        const qreal y = 186 + i * 16;
        painter.drawLine(QPointF(56, y), QPointF(200, y));
    }
    return image;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_icons OUTPUT_DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "draw_icons: cannot create %s\n", argv[1]);
        return 1;
    }
    const bool saved = drawEye(false).save(dir.filePath(QStringLiteral("show.png")), "PNG") &&
                       drawEye(true).save(dir.filePath(QStringLiteral("hide.png")), "PNG") &&
                       drawApplicationIcon().save(dir.filePath(QStringLiteral("quorix-rs485.png")), "PNG");
    if (!saved) {
        std::fprintf(stderr, "draw_icons: cannot write the icons into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
