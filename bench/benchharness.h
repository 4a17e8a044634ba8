#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <time.h>
#endif

// A small timing harness for the bench_* programs. Bodies are timed by the wall clock (QElapsedTimer) and,
// where the system offers it, by the CPU time of the process, which a busy machine disturbs far less.
// Figures that are compared with each other are measured in the same run, so machine load affects both
// alike; ratios use CPU time when it is available.
namespace bench {

// CPU time of this (single-threaded) process in nanoseconds, or -1 where it is not available.
inline qint64 cpuNanoseconds()
{
#ifdef Q_OS_UNIX
    timespec now{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) == 0)
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
#endif
    return -1;
}

struct Result
{
    qint64 operations = 0;
    qint64 nanoseconds = 0;     // wall clock
    qint64 cpuNanoseconds = -1; // -1 when not measured

    // The time that figures are based on: CPU time when measured, else wall time.
    qint64 time() const { return cpuNanoseconds >= 0 ? cpuNanoseconds : nanoseconds; }
    double seconds() const { return double(time()) / 1e9; }
    double perSecond() const { return time() > 0 ? double(operations) * 1e9 / double(time()) : 0.0; }
    double nanosecondsPerOperation() const
    {
        return operations > 0 ? double(time()) / double(operations) : 0.0;
    }
    const char *clockName() const { return cpuNanoseconds >= 0 ? "cpu" : "wall"; }
};

// Keeps a computed value alive so the compiler cannot drop the work that produced it.
inline void keep(qint64 value)
{
    static volatile qint64 sink = 0;
    sink = sink + value;
}

// Times a single call of body.
template <typename Body> Result timeOnce(Body &&body, qint64 operations = 1)
{
    const qint64 cpuStart = cpuNanoseconds();
    QElapsedTimer timer;
    timer.start();
    body();
    Result result;
    result.operations = operations;
    result.nanoseconds = timer.nsecsElapsed();
    if (cpuStart >= 0)
        result.cpuNanoseconds = cpuNanoseconds() - cpuStart;
    return result;
}

// Runs body (which performs operationsPerCall operations per call) once to warm up, then repeatedly until
// at least minimumSeconds of wall time have passed.
template <typename Body>
Result measure(Body &&body, qint64 operationsPerCall = 1, double minimumSeconds = 0.5)
{
    body();
    const qint64 minimumNanoseconds = qint64(minimumSeconds * 1e9);
    const qint64 cpuStart = cpuNanoseconds();
    Result result;
    QElapsedTimer timer;
    timer.start();
    do {
        body();
        result.operations += operationsPerCall;
    } while (timer.nsecsElapsed() < minimumNanoseconds);
    result.nanoseconds = timer.nsecsElapsed();
    if (cpuStart >= 0)
        result.cpuNanoseconds = cpuNanoseconds() - cpuStart;
    return result;
}

// For bodies that take long per call: runs each body once per round, alternating between them, and keeps
// each one's fastest call. The fastest call is the least disturbed one, and alternating exposes both bodies
// to the same conditions, so their ratio stays meaningful.
template <typename First, typename Second>
void fastestAlternating(First &&first, Second &&second, int rounds, Result *firstResult, Result *secondResult,
                        qint64 operationsPerCall = 1)
{
    first();
    second();
    for (int round = 0; round < rounds; ++round) {
        const Result a = timeOnce(first, operationsPerCall);
        const Result b = timeOnce(second, operationsPerCall);
        if (round == 0 || a.time() < firstResult->time())
            *firstResult = a;
        if (round == 0 || b.time() < secondResult->time())
            *secondResult = b;
    }
}

inline void report(const char *label, const Result &result, const char *unit = "ops")
{
    std::printf("%-36s %14.0f %s/s  %12.1f ns/%s  (%lld in %.2f s %s, %.2f s wall)\n", label,
                result.perSecond(), unit, result.nanosecondsPerOperation(), unit,
                static_cast<long long>(result.operations), result.seconds(), result.clockName(),
                double(result.nanoseconds) / 1e9);
}

// How many times slower `slow` is than `fast`, by time per operation.
inline double ratio(const Result &slow, const Result &fast)
{
    const double fastTime = fast.nanosecondsPerOperation();
    return fastTime > 0 ? slow.nanosecondsPerOperation() / fastTime : 0.0;
}

} // namespace bench
