#pragma once

#include <QFont>
#include <QList>
#include <QString>

class QWidget;

// Which characters of the texts a widget shows the fonts in use cannot draw. A character counts as
// covered when the font or one of the fallback fonts the platform adds to it has a glyph for it:
// that is what decides between the character and an empty box on the operator's screen.
namespace FontCoverage {

struct Caption
{
    QString text;
    QFont font;
};

// The texts a widget draws itself (caption, items, tab and menu titles, window title, chart
// titles), each with the font it is drawn in. Texts of child widgets belong to the children.
QList<Caption> captionsOf(QWidget *widget);

// The characters of text that font cannot draw, each once, in order; blanks and control
// characters draw nothing and are left out. Needs only Qt Gui (UncoveredCharacters.cpp).
QString uncoveredCharacters(const QString &text, const QFont &font);

} // namespace FontCoverage
