#pragma once

#include <QString>

// A byte count for people: "%1 B" below 1024, then KiB and MiB (one decimal below 100, none from 100 on) and
// GiB with two decimals, in steps of 1024. The decimal point is always '.', whatever the locale.
QString formatByteSize(qint64 bytes);
