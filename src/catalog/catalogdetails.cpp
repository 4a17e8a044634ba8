#include "catalog/catalogdetails.h"

#include "catalog/dependencyparsing.h"

#include <QCoreApplication>
#include <QStringList>

QString catalogDependencyLine(const RepoMod &mod)
{
    QStringList labels;
    for (const RepoDependency &dependency : mod.dependencies) {
        RepoDependency withoutVersion = dependency;
        withoutVersion.minVersion.clear();
        QString label = dependencyLabel(withoutVersion);
        if (!dependency.minVersion.trimmed().isEmpty())
            label +=
                QCoreApplication::translate("MainWindow", " (mind. %1)").arg(dependency.minVersion.trimmed());
        if (!labels.contains(label))
            labels.append(label);
    }
    if (labels.isEmpty())
        return {};
    return QCoreApplication::translate("MainWindow", "\nBenötigte Modifikationen: %1")
        .arg(labels.join(QStringLiteral(", ")));
}
