#pragma once

// Reads every text an operator can see in a window (captions, titles, menus, list and table
// entries, tooltips, chart titles) and reports two kinds of fault in it: a Chinese character where
// the interface should be English, and a caption cut short: a label, button or field text wider
// than its widget, one elided with "…", or a tab beyond its bar's end. A caption may be cut only where
// kElidedOnPurpose names its widget and its tooltip shows it whole.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocumentFragment>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QAbstractSeries>
#include <QtCharts/QLegendMarker>

namespace InterfaceWalk {

// Left as it is in every language: its own name says both.
inline const QString kLanguageEntry = QStringLiteral("语言 / Language");

// Widgets whose caption may be elided, by object name: their room is fixed by what they stand beside.
inline const QStringList kElidedOnPurpose = {};

inline bool hasChinese(const QString &text)
{
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return text.contains(cjk);
}

class Walker
{
public:
    // Every fault found, one line each naming the widget: "where: text".
    QStringList faults;

    void walk(QWidget *root)
    {
        visit(root);
        for (QWidget *child : root->findChildren<QWidget *>())
            visit(child);
    }

    void checkText(const QString &where, const QString &text)
    {
        if (text != kLanguageEntry && hasChinese(text))
            faults << QStringLiteral("Chinese in %1: %2").arg(where, text);
    }

private:
    static QString name(const QWidget *widget)
    {
        const QString object = widget->objectName();
        return QString::fromLatin1(widget->metaObject()->className()) +
               (object.isEmpty() ? QString() : QLatin1Char('#') + object);
    }

    void visit(QWidget *widget)
    {
        if (!widget->isVisible())
            return;
        const QString where = name(widget);
        if (widget->isWindow())
            checkText(where + QStringLiteral(" title"), widget->windowTitle());
        checkText(where + QStringLiteral(" tooltip"), widget->toolTip());
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            checkText(where, label->text());
            if (!label->wordWrap() && label->pixmap(Qt::ReturnByValue).isNull())
                checkFit(widget, label->text(), labelRoom(label));
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            checkText(where, button->text());
            checkFit(widget, button->text(), buttonRoom(button));
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            checkText(where, group->title());
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            for (int i = 0; i < combo->count(); ++i)
                checkText(where, combo->itemText(i));
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            checkText(where + QStringLiteral(" placeholder"), edit->placeholderText());
            // A combo box's or spin box's field holds what the operator chose or typed.
            if (!qobject_cast<QComboBox *>(edit->parentWidget()) &&
                !qobject_cast<QAbstractSpinBox *>(edit->parentWidget()))
                checkFit(widget, edit->displayText(), editRoom(edit));
        } else if (auto *tabs = qobject_cast<QTabWidget *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i)
                checkText(where + QStringLiteral(" tab"), tabs->tabText(i));
        } else if (auto *bar = qobject_cast<QTabBar *>(widget)) {
            checkTabs(bar);
        } else if (auto *view = qobject_cast<QAbstractItemView *>(widget)) {
            visitModel(where, view);
        } else if (auto *bar = qobject_cast<QMenuBar *>(widget)) {
            visitActions(where, bar->actions());
        } else if (auto *chart = qobject_cast<QtCharts::QChartView *>(widget)) {
            visitChart(where, chart->chart());
        }
    }

    // A caption is cut when it needs more room than its widget gives, or was elided to fit.
    void checkFit(QWidget *widget, const QString &text, int room)
    {
        checkFit(widget, text, room, widget->toolTip());
    }

    void checkFit(QWidget *widget, const QString &text, int room, const QString &toolTip)
    {
        const QString shownText = plain(text);
        if (shownText.isEmpty())
            return;
        const int needed = widest(widget->fontMetrics(), shownText);
        const QString head = shownText.endsWith(QChar(0x2026)) ? shownText.chopped(1) : shownText;
        const bool elided = head != shownText && toolTip.startsWith(head) && toolTip != shownText;
        if (needed <= room && !elided)
            return;
        const bool wholeInToolTip = elided || toolTip.contains(shownText);
        if (wholeInToolTip && kElidedOnPurpose.contains(widget->objectName()))
            return;
        faults << QStringLiteral("Cut in %1 (%2 px of room, needs %3): %4")
                      .arg(name(widget))
                      .arg(room)
                      .arg(needed)
                      .arg(shownText);
    }

    void checkTabs(QTabBar *bar)
    {
        const int padding = bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
        for (int i = 0; i < bar->count(); ++i) {
            const QRect tab = bar->tabRect(i);
            // A tab scrolled past the bar's end is cut as much as one too narrow for its text.
            const int room = qMin(tab.right(), bar->width() - 1) - tab.left() + 1 - padding;
            checkFit(bar, bar->tabText(i), room, bar->tabToolTip(i));
        }
    }

    static QString plain(QString text)
    {
        if (Qt::mightBeRichText(text))
            text = QTextDocumentFragment::fromHtml(text).toPlainText();
        return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    }

    static int widest(const QFontMetrics &metrics, const QString &text)
    {
        int widest = 0;
        for (const QString &line : text.split(QLatin1Char('\n')))
            widest = qMax(widest, metrics.horizontalAdvance(line));
        return widest;
    }

    static int labelRoom(const QLabel *label)
    {
        return label->contentsRect().width() - 2 * label->margin() - qMax(label->indent(), 0);
    }

    // A line edit scrolls what it cannot show: a text it only shows must fit inside its frame and the
    // two pixels it keeps either side.
    static int editRoom(QLineEdit *edit)
    {
        const QMargins margins = edit->textMargins();
        const int frame =
            edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit) : 0;
        return edit->contentsRect().width() - margins.left() - margins.right() - 2 * frame - 4;
    }

    // A push button draws its text inside its margins and frame; check boxes and radio buttons beside
    // their indicator, which their size hint holds.
    static int buttonRoom(QAbstractButton *button)
    {
        const QStyle *style = button->style();
        if (qobject_cast<QPushButton *>(button))
            return button->contentsRect().width() -
                   style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) -
                   2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button) -
                   (button->icon().isNull() ? 0 : button->iconSize().width() + 4);
        const int textWidth = widest(button->fontMetrics(), plain(button->text()));
        return button->width() - (button->sizeHint().width() - textWidth);
    }

    void visitModel(const QString &where, QAbstractItemView *view)
    {
        const QAbstractItemModel *model = view->model();
        if (!model)
            return;
        for (int column = 0; column < model->columnCount(); ++column)
            checkText(where + QStringLiteral(" header"), model->headerData(column, Qt::Horizontal).toString());
        const int rows = qMin(model->rowCount(), 200);
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < model->columnCount(); ++column)
                checkText(where + QStringLiteral(" cell"), model->index(row, column).data().toString());
        }
    }

    void visitActions(const QString &where, const QList<QAction *> &actions)
    {
        for (QAction *action : actions) {
            checkText(where + QStringLiteral(" menu"), action->text());
            if (action->menu())
                visitActions(where, action->menu()->actions());
        }
    }

    void visitChart(const QString &where, QtCharts::QChart *chart)
    {
        checkText(where + QStringLiteral(" chart title"), chart->title());
        for (QtCharts::QAbstractAxis *axis : chart->axes())
            checkText(where + QStringLiteral(" axis"), axis->titleText());
        for (QtCharts::QAbstractSeries *series : chart->series())
            checkText(where + QStringLiteral(" series"), series->name());
    }
};

// The faults of one window and everything visible in it.
inline QStringList faultsIn(QWidget *root)
{
    Walker walker;
    walker.walk(root);
    return walker.faults;
}

} // namespace InterfaceWalk
