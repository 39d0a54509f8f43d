// Needs only Qt Gui, so that programs without widgets (the manual's renderer) share the check.
#include "FontCoverage.h"

#include <QFontMetrics>

namespace FontCoverage {

QString uncoveredCharacters(const QString &text, const QFont &font)
{
    const QFontMetrics metrics(font);
    QString missing;
    for (const uint ucs4 : text.toUcs4()) {
        const QChar::Category category = QChar::category(ucs4);
        if (QChar::isSpace(ucs4) || category == QChar::Other_Control || category == QChar::Other_Format)
            continue;
        const QString character = QString::fromUcs4(&ucs4, 1);
        if (!metrics.inFontUcs4(ucs4) && !missing.contains(character))
            missing += character;
    }
    return missing;
}

} // namespace FontCoverage
