#include "app/linkargument.h"

QString findLinkArgument(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i).startsWith(QLatin1String("fx3modmanager://"), Qt::CaseInsensitive))
            return arguments.at(i);
    }
    return {};
}
