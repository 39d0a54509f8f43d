#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QWidget>
#include <memory>

class QTableWidget;

namespace Ui {
class AuditListWindow;
}

// "操作记录": the audit trail of the data folder, newest line first, filtered by controller, source,
// kind and time span; "导出CSV" writes the lines shown to a file.
class AuditListWindow : public QWidget
{
    Q_OBJECT
public:
    explicit AuditListWindow(const QString &folder, QWidget *parent = nullptr);
    ~AuditListWindow() override;

    // Reads the files again and fills the filters and the table.
    void refresh();
    QTableWidget *table() const;
    // The lines shown, oldest first, as CSV with a header line.
    QString csv() const;

private:
    void showFiltered();
    bool passes(const QJsonObject &line, const QDateTime &since) const;
    void exportCsv();

    std::unique_ptr<Ui::AuditListWindow> ui;
    QString m_folder;
    QList<QJsonObject> m_lines;
    QList<QJsonObject> m_shown; // oldest first
};
