// Draws the password field's eye icons (an open eye and a struck-through eye) into the directory
// given as the only argument, so that no binary image has to live in the source tree.
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
                       drawEye(true).save(dir.filePath(QStringLiteral("hide.png")), "PNG");
    if (!saved) {
        std::fprintf(stderr, "draw_icons: cannot write the icons into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
