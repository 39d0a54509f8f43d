#include "WidgetReport.h"

#include "FontCoverage.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSaveFile>
#include <QWidget>

namespace {

constexpr int kIntervalMs = 200;

// One line per record: tabs and line breaks inside a text would split it.
QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

QString shownText(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        return combo->currentText();
    return widget->isWindow() ? widget->windowTitle() : QString();
}

QString rectText(const QPoint &topLeft, const QSize &size)
{
    return QStringLiteral("%1\t%2\t%3\t%4")
        .arg(topLeft.x())
        .arg(topLeft.y())
        .arg(size.width())
        .arg(size.height());
}

QString nameOf(const QObject *object)
{
    return object->objectName().isEmpty() ? QString::fromLatin1(object->metaObject()->className())
                                          : object->objectName();
}

// Child paths of a list of siblings, in order.
QStringList siblingPaths(const QList<QWidget *> &siblings, const QString &parentPath)
{
    QHash<QString, int> shared;
    for (const QWidget *widget : siblings)
        ++shared[nameOf(widget)];
    QHash<QString, int> seen;
    QStringList paths;
    for (const QWidget *widget : siblings) {
        const QString name = nameOf(widget);
        QString segment = name;
        if (shared.value(name) > 1)
            segment += QLatin1Char('#') + QString::number(seen[name]++);
        paths.append(parentPath.isEmpty() ? segment : parentPath + QLatin1Char('/') + segment);
    }
    return paths;
}

QList<QWidget *> childWidgets(const QWidget *widget)
{
    QList<QWidget *> children;
    for (QObject *child : widget->children())
        if (child->isWidgetType())
            children.append(static_cast<QWidget *>(child));
    return children;
}

} // namespace

std::unique_ptr<WidgetReport> WidgetReport::fromEnvironment()
{
    const QString path = qEnvironmentVariable("QUORIX_FONT_REPORT");
    if (path.isEmpty())
        return nullptr;
    return std::make_unique<WidgetReport>(path);
}

WidgetReport::WidgetReport(const QString &path) : m_path(path)
{
    connect(&m_timer, &QTimer::timeout, this, &WidgetReport::writeNow);
    m_timer.start(kIntervalMs);
    QTimer::singleShot(0, this, &WidgetReport::writeNow);
}

void WidgetReport::writeNow()
{
    QList<QWidget *> roots;
    for (QWidget *widget : QApplication::allWidgets())
        if (!widget->parentWidget())
            roots.append(widget);
    QStringList lines;
    const QStringList rootPaths = siblingPaths(roots, QString());
    for (int i = 0; i < roots.size(); ++i)
        walk(roots[i], rootPaths[i], &lines);
    lines.prepend(QStringLiteral("checked\t%1").arg(m_checked.size()));
    for (int i = 0; i < m_uncovered.size(); ++i)
        lines.insert(1 + i, m_uncovered[i]);

    const QByteArray content = lines.join(QLatin1Char('\n')).toUtf8() + '\n';
    if (content == m_written)
        return;
    QSaveFile file(m_path);
    if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit())
        m_written = content;
}

void WidgetReport::walk(QWidget *widget, const QString &path, QStringList *lines)
{
    checkCoverage(widget, path);
    if (widget->isVisible()) {
        lines->append(QStringLiteral("widget\t%1\t%2\t%3\t%4")
                          .arg(path, QString::fromLatin1(widget->metaObject()->className()),
                               rectText(widget->mapToGlobal(QPoint(0, 0)), widget->size()),
                               oneLine(shownText(widget))));
        listActions(widget, path, lines);
    }
    const QList<QWidget *> children = childWidgets(widget);
    const QStringList paths = siblingPaths(children, path);
    for (int i = 0; i < children.size(); ++i)
        walk(children[i], paths[i], lines);
}

void WidgetReport::checkCoverage(QWidget *widget, const QString &path)
{
    for (const FontCoverage::Caption &caption : FontCoverage::captionsOf(widget)) {
        if (caption.text.isEmpty())
            continue;
        const QString key = caption.font.key() + QLatin1Char('\x1f') + caption.text;
        if (m_checked.contains(key))
            continue;
        m_checked.insert(key);
        const QString missing = FontCoverage::uncoveredCharacters(caption.text, caption.font);
        if (!missing.isEmpty())
            m_uncovered.append(
                QStringLiteral("uncovered\t%1\t%2\t%3").arg(path, missing, oneLine(caption.text)));
    }
}

void WidgetReport::listActions(QWidget *widget, const QString &path, QStringList *lines)
{
    const auto geometryOf = [widget](QAction *action) {
        if (auto *bar = qobject_cast<QMenuBar *>(widget))
            return bar->actionGeometry(action);
        if (auto *menu = qobject_cast<QMenu *>(widget))
            return menu->actionGeometry(action);
        return QRect();
    };
    for (QAction *action : widget->actions()) {
        const QRect rect = geometryOf(action);
        if (action->isVisible() && !rect.isEmpty())
            lines->append(QStringLiteral("action\t%1\t%2\t%3")
                              .arg(path, rectText(widget->mapToGlobal(rect.topLeft()), rect.size()),
                                   oneLine(action->text())));
    }
}
