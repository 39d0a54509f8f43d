#pragma once

// Reads every text an operator can see in a window (captions, titles, menus, list and table
// entries, tooltips, chart titles) and reports two kinds of fault in it: a Chinese character where
// the interface should be English, and a caption wider than its widget without a tooltip that
// shows it whole.

#include <QAbstractButton>
#include <QAbstractItemView>
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
#include <QStyle>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QAbstractSeries>
#include <QtCharts/QLegendMarker>

namespace InterfaceWalk {

// Left as it is in every language: its own name says both.
inline const QString kLanguageEntry = QStringLiteral("语言 / Language");

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
                checkFit(widget, label->text());
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            checkText(where, button->text());
            checkFit(widget, button->text());
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            checkText(where, group->title());
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            for (int i = 0; i < combo->count(); ++i)
                checkText(where, combo->itemText(i));
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            checkText(where + QStringLiteral(" placeholder"), edit->placeholderText());
        } else if (auto *tabs = qobject_cast<QTabWidget *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i)
                checkText(where + QStringLiteral(" tab"), tabs->tabText(i));
        } else if (auto *view = qobject_cast<QAbstractItemView *>(widget)) {
            visitModel(where, view);
        } else if (auto *bar = qobject_cast<QMenuBar *>(widget)) {
            visitActions(where, bar->actions());
        } else if (auto *chart = qobject_cast<QtCharts::QChartView *>(widget)) {
            visitChart(where, chart->chart());
        }
    }

    void checkFit(QWidget *widget, const QString &text)
    {
        if (text.isEmpty() || !widget->toolTip().isEmpty())
            return;
        const int needed = neededWidth(widget, text);
        if (needed > widget->width())
            faults << QStringLiteral("Cut without tooltip in %1 (%2 px wide, needs %3): %4")
                          .arg(name(widget))
                          .arg(widget->width())
                          .arg(needed)
                          .arg(text);
    }

    // A push button's size hint is at least 80 px in Qt's styles, however short its text: what it
    // needs is its text and its margins.
    static int neededWidth(QWidget *widget, const QString &text)
    {
        if (!qobject_cast<QPushButton *>(widget))
            return widget->sizeHint().width();
        QString shownText = text;
        shownText.remove(QLatin1Char('&'));
        const QStyle *style = widget->style();
        return widget->fontMetrics().horizontalAdvance(shownText) +
               style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, widget) +
               2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, widget);
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
