#pragma once

#include "analysis/performancecheck.h"

#include <QString>

// "Unauffällig", "Erhöhte Anforderungen", "Performancekritisch" or "Sehr performanceintensiv", translated.
QString performanceRatingLabel(int rating);
// A coloured circle from green (0) to red (3).
QString performanceRatingMark(int rating);
// The report as plain text for the report dialog.
QString performanceReportText(const PerformanceReport &report, const QString &modName);

// The number of models listed by name at the end of the report text.
inline constexpr int reportedTopModels = 8;
