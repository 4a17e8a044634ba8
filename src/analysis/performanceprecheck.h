#pragma once

#include "analysis/performancecheck.h"

#include <QString>

#include <functional>

// What the player answered in the performance report.
struct PerformanceReportDecision
{
    bool install = false;
    bool disableAutoCheck = false; // the "do not check automatically" box was ticked
};

// How the pre-check talks to the player. The main window supplies its status line and the report dialog;
// tests supply scripted answers.
struct PerformanceCheckPrompts
{
    std::function<void(const QString &text)> setStatus;
    std::function<PerformanceReportDecision(const PerformanceReport &report, const QString &modName)>
        showReport;
};

// Runs the performance check on an unpacked mod before it is installed, as the settings
// "performance/auto_check" and "performance/show_clean_reports" ask. Returns true when the install goes on;
// false only when the player declined in the report, with error = "Installation abgebrochen.". A ticked
// "disable" box switches the automatic check off whatever the answer. Without a showReport prompt nobody can
// be asked, and the check does not stop the install on its own.
bool performancePreCheck(const QString &folder, const QString &modName,
                         const PerformanceCheckPrompts &prompts, QString *error = nullptr);
