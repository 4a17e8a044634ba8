#include "analysis/bytesize.h"

#include <QCoreApplication>

QString formatByteSize(qint64 bytes)
{
    if (bytes < 1024)
        return QCoreApplication::translate("MainWindow", "%1 B").arg(bytes);

    double value = double(bytes) / 1024.0;
    if (value < 1024.0)
        return QCoreApplication::translate("MainWindow", "%1 KiB")
            .arg(QString::number(value, 'f', value < 100.0 ? 1 : 0));
    value /= 1024.0;
    if (value < 1024.0)
        return QCoreApplication::translate("MainWindow", "%1 MiB")
            .arg(QString::number(value, 'f', value < 100.0 ? 1 : 0));
    value /= 1024.0;
    return QCoreApplication::translate("MainWindow", "%1 GiB").arg(QString::number(value, 'f', 2));
}
