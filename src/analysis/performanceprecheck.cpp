#include "analysis/performanceprecheck.h"

#include "app/settings.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSettings>

namespace {

void setStatus(const PerformanceCheckPrompts &prompts, const QString &text)
{
    if (prompts.setStatus)
        prompts.setStatus(text);
}

} // namespace

bool performancePreCheck(const QString &folder, const QString &modName,
                         const PerformanceCheckPrompts &prompts, QString *error)
{
    if (!performanceAutoCheckEnabled())
        return true;

    setStatus(
        prompts,
        QCoreApplication::translate("MainWindow", "Performance-Check: %1 wird analysiert…").arg(modName));
    // The analysis blocks the event loop; let the status line paint first, but take no clicks meanwhile.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    const PerformanceReport report = analyzeModPerformance(folder);

    if (report.rating == 0 && !showCleanPerformanceReports()) {
        if (report.modelCount == 0 && report.meshCount == 0)
            setStatus(prompts,
                      QCoreApplication::translate(
                          "MainWindow", "Performance-Check: %1 enthält keine auswertbaren 3D-Ressourcen.")
                          .arg(modName));
        else
            setStatus(prompts,
                      QCoreApplication::translate("MainWindow", "Performance-Check: %1 ist unauffällig.")
                          .arg(modName));
        return true;
    }

    if (!prompts.showReport)
        return true;
    const PerformanceReportDecision decision = prompts.showReport(report, modName);
    if (decision.disableAutoCheck) {
        QSettings settings;
        settings.setValue(QStringLiteral("performance/auto_check"), false);
        settings.sync();
    }
    if (decision.install)
        return true;
    if (error)
        *error = QCoreApplication::translate("MainWindow", "Installation abgebrochen.");
    return false;
}
