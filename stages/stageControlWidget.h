#pragma once

#include <QList>
#include <QWidget>

class itemStageControl;

namespace Ui {
class stageControlWidget;
}

// The staged flow page: four programme widgets, one per controller, side by side. The run and
// file buttons arrive with the staged-run feature; until then the page only carries the devices.
class stageControlWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ItemCount = 4;

    explicit stageControlWidget(QWidget *parent = nullptr);
    ~stageControlWidget() override;

    // Exactly ItemCount widgets, leftmost first.
    const QList<itemStageControl *> &items() const { return m_items; }

signals:
    void sig_stratStep(bool isStep);
    void sig_excuteStep(uchar deviceId, float data);

public slots:
    void slot_excuStep(uchar id, float data);

private:
    Ui::stageControlWidget *ui;
    QList<itemStageControl *> m_items;
};
