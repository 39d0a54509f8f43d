#pragma once

#include <QWidget>

namespace Ui {
class qDebugWidget;
}

// The developer's view of the message log. Constructing it makes its text area the log's view
// (see LogSink); lines logged while it is hidden are kept and shown when it opens.
class qDebugWidget : public QWidget
{
    Q_OBJECT
public:
    explicit qDebugWidget(QWidget *parent = nullptr);
    ~qDebugWidget() override;

protected:
    void showEvent(QShowEvent *event) override;

signals:
    void sig_closeDebug();

private slots:
    void on_pushButton_clicked();

private:
    Ui::qDebugWidget *ui;
};
