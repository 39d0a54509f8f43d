#pragma once

#include "DataFile.h"

#include <QObject>
#include <QPointer>
#include <QString>

class PlotWidget;
class QMessageBox;

// Draws a data file's text on a chart page without holding up the GUI thread: the text is read and
// the debug lines written in slices of a few milliseconds between event-loop passes, and each
// type's points reach its chart in one batch, in type order. A waiting box is shown meanwhile;
// deleting the loader stops it and closes the box.
class DataFileLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr int SliceMs = 15;

    DataFileLoader(const QString &fileName, QString text, PlotWidget *target, QWidget *boxParent);
    ~DataFileLoader() override;

    void start();
    const DataFile::Content &content() const { return m_content; }

signals:
    void finished(QString fileName);

private:
    void runSlice();
    bool readSome();
    bool handOverSome();

    QString m_fileName;
    QString m_text;
    int m_readPos = 0;
    DataFile::Content m_content;
    int m_type = 1;        // the type being handed over
    int m_loggedLines = 0; // of the current type
    QPointer<PlotWidget> m_target;
    QPointer<QMessageBox> m_waitBox;
};
