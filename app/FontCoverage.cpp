#include "FontCoverage.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QChartView>

namespace FontCoverage {

namespace {

// Tables can hold thousands of cells of digits; the headers and the first screenful say which
// characters the view draws.
constexpr int kCellRows = 40;
constexpr int kCellColumns = 20;

QString plainText(const QString &text)
{
    return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

void addItemTexts(QAbstractItemView *view, QList<Caption> *captions)
{
    const QAbstractItemModel *model = view->model();
    if (!model)
        return;
    const QFont font = view->font();
    for (int column = 0; column < model->columnCount(); ++column)
        captions->append({model->headerData(column, Qt::Horizontal).toString(), font});
    for (int row = 0; row < qMin(model->rowCount(), kCellRows); ++row) {
        captions->append({model->headerData(row, Qt::Vertical).toString(), font});
        for (int column = 0; column < qMin(model->columnCount(), kCellColumns); ++column)
            captions->append({model->index(row, column).data().toString(), font});
    }
}

void addChartTexts(QtCharts::QChartView *view, QList<Caption> *captions)
{
    QtCharts::QChart *chart = view->chart();
    if (!chart)
        return;
    captions->append({chart->title(), chart->titleFont()});
    for (QtCharts::QAbstractAxis *axis : chart->axes())
        captions->append({axis->titleText(), axis->titleFont()});
}

} // namespace

QList<Caption> captionsOf(QWidget *widget)
{
    // Style sheets set fonts when a widget is polished; a hidden window may not be yet.
    widget->ensurePolished();
    const QFont font = widget->font();
    QList<Caption> captions;
    if (widget->isWindow())
        captions.append({widget->windowTitle(), font});
    if (auto *label = qobject_cast<QLabel *>(widget))
        captions.append({plainText(label->text()), font});
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        captions.append({button->text(), font});
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        captions << Caption{edit->text(), font} << Caption{edit->placeholderText(), font};
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        for (int i = 0; i < combo->count(); ++i)
            captions.append({combo->itemText(i), font});
    else if (auto *tabs = qobject_cast<QTabBar *>(widget))
        for (int i = 0; i < tabs->count(); ++i)
            captions.append({tabs->tabText(i), font});
    else if (auto *group = qobject_cast<QGroupBox *>(widget))
        captions.append({group->title(), font});
    else if (auto *chartView = qobject_cast<QtCharts::QChartView *>(widget))
        addChartTexts(chartView, &captions);
    else if (auto *view = qobject_cast<QAbstractItemView *>(widget))
        addItemTexts(view, &captions);
    if (qobject_cast<QMenuBar *>(widget) || qobject_cast<QMenu *>(widget))
        for (const QAction *action : widget->actions())
            captions.append({action->text(), font});
    return captions;
}

} // namespace FontCoverage
