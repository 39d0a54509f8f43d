// Renders the operator manual (Markdown with images beside it) into a PDF with Qt's own text
// layout, so the build needs nothing beyond Qt: render_manual MANUAL.md OUTPUT.pdf
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <cstdio>

namespace {
// Screenshots are wider than the page; this is the text width in layout pixels on A4 with the
// margins QTextDocument::print uses.
constexpr qreal maxImageWidth = 620;
// Dialogs at their natural size would look oversized beside the text.
constexpr qreal imageScale = 0.6;

void fitImagesToPage(QTextDocument *document, const QDir &base)
{
    QTextCursor cursor(document);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QImage picture(base.filePath(image.name()));
            if (picture.isNull()) {
                std::fprintf(stderr, "render_manual: missing image %s\n", qPrintable(image.name()));
                continue;
            }
            // Handed over here, the pictures travel with the copy of the document that print() lays out.
            document->addResource(QTextDocument::ImageResource, QUrl(image.name()), picture);
            const QSize natural = picture.size();
            const qreal width = qMin(maxImageWidth, imageScale * natural.width());
            image.setWidth(width);
            image.setHeight(width * natural.height() / natural.width());
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
    }
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_manual MANUAL.md OUTPUT.pdf\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QFile source(input);
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "render_manual: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir base = QFileInfo(input).absoluteDir();
    QTextDocument document;
    document.setDefaultFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 10));
    document.setMarkdown(QString::fromUtf8(source.readAll()), QTextDocument::MarkdownDialectGitHub);
    fitImagesToPage(&document, base);

    QDir().mkpath(QFileInfo(output).absolutePath());
    QPdfWriter pdf(output);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("QUORIX RS485 操作说明书"));
    pdf.setCreator(QStringLiteral("QUORIX RS485"));
    document.print(&pdf);
    if (!QFileInfo(output).size()) {
        std::fprintf(stderr, "render_manual: nothing was written to %s\n", argv[2]);
        return 1;
    }
    return 0;
}
