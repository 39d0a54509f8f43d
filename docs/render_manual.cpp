// Renders the operator manual (Markdown with images beside it) into a PDF with Qt's own text
// layout, so the build needs nothing beyond Qt: render_manual MANUAL.md OUTPUT.pdf
// Where no font available can draw a character of the manual, Qt would print an empty box in its
// place and the PDF would look complete; the renderer fails instead and writes nothing.
#include "FontCoverage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPdfWriter>
#include <QSaveFile>
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
// The manual is Chinese, and the English one quotes a few Chinese captions; this font draws both, and
// fontconfig adds fallbacks for what it lacks.
const char *const manualFontFamily = "WenQuanYi Micro Hei";
const char *const manualFontPackage = "fonts-wqy-microhei";
// Enough of the missing characters to recognise which script lacks a font.
constexpr int reportedCharacters = 40;

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

// The characters of the document that the font of their fragment, with its fallbacks, cannot draw.
QVector<uint> uncoveredCharacters(const QTextDocument &document)
{
    QVector<uint> missing;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat())
                continue;
            const QFont font = fragment.charFormat().font().resolve(document.defaultFont());
            for (const uint character : FontCoverage::uncoveredCharacters(fragment.text(), font).toUcs4())
                if (!missing.contains(character))
                    missing.append(character);
        }
    }
    return missing;
}

bool reportUncoveredCharacters(const QTextDocument &document)
{
    const QVector<uint> missing = uncoveredCharacters(document);
    if (missing.isEmpty())
        return false;
    const QString sample = QString::fromUcs4(missing.constData(), qMin(missing.size(), reportedCharacters));
    std::fprintf(stderr,
                 "render_manual: no font available can draw %d different characters of the manual "
                 "(they would print as empty boxes): %s%s\n"
                 "render_manual: install a font that covers them; the manual is set in %s, "
                 "the Debian package %s (scripts/setup.sh installs it)\n",
                 missing.size(), qUtf8Printable(sample), missing.size() > reportedCharacters ? " ..." : "",
                 manualFontFamily, manualFontPackage);
    return true;
}

bool writePdf(QTextDocument *document, const QString &output)
{
    QDir().mkpath(QFileInfo(output).absolutePath());
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(300);
        // The manual's first line is its heading, in its own language.
        pdf.setTitle(document->begin().text());
        pdf.setCreator(QStringLiteral("QUORIX RS485"));
        document->print(&pdf);
    }
    return file.size() > 0 && file.commit();
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
    document.setDefaultFont(QFont(QString::fromLatin1(manualFontFamily), 10));
    document.setMarkdown(QString::fromUtf8(source.readAll()), QTextDocument::MarkdownDialectGitHub);
    fitImagesToPage(&document, base);
    if (reportUncoveredCharacters(document)) {
        // A manual left from an earlier build would pass for the output of this one.
        QFile::remove(output);
        return 1;
    }
    if (!writePdf(&document, output)) {
        std::fprintf(stderr, "render_manual: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
