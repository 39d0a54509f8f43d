#include "Driver.h"

#include <QCoreApplication>

QString Driver::name() const
{
    switch (kind) {
    case None:
        break;
    case Operator:
        return QCoreApplication::translate("Driver", "操作员");
    case Programme:
        return QCoreApplication::translate("Driver", "分阶程序%1").arg(index);
    case Remote:
        return QCoreApplication::translate("Driver", "远程命令");
    case Ramp:
        return QCoreApplication::translate("Driver", "斜坡");
    case Mix:
        return QCoreApplication::translate("Driver", "混合组%1").arg(index);
    case ExitStop:
        return QCoreApplication::translate("Driver", "退出停止");
    case Alarm:
        return QCoreApplication::translate("Driver", "报警动作");
    }
    return QString();
}
