#pragma once

#include "analysis/performancecheck.h"
#include "analysis/performanceprecheck.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

// The performance report shown before an install: rating, the full report text and the choice to install
// or cancel. For the highest rating the cancel button is the default, so an unthinking Enter does not
// install.
class PerformanceReportDialog : public QDialog
{
    Q_OBJECT

public:
    PerformanceReportDialog(const PerformanceReport &report, const QString &modName,
                            QWidget *parent = nullptr);

    PerformanceReportDecision decision() const;
    QPushButton *installButton() const { return m_installButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QCheckBox *disableCheckBox() const { return m_disableCheckBox; }

private:
    QPushButton *m_installButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QCheckBox *m_disableCheckBox = nullptr;
};

// Shows the report modally and returns the player's answer.
PerformanceReportDecision showPerformanceReportDialog(const PerformanceReport &report, const QString &modName,
                                                      QWidget *parent);
