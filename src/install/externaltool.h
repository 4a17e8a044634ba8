#pragma once

#include <QString>
#include <QStringList>

// How long an external tool may take. The defaults are the program's; tests pass tiny ones.
struct ExternalToolLimits
{
    int startTimeoutMs = 10000;
    int finishTimeoutMs = 120000; // the whole run, however large the archive
    int killWaitMs = 3000;        // after a time-out, for the killed process to go away
};

// What one run of an external tool came to.
struct ExternalToolRun
{
    bool started = false;
    bool timedOut = false;
    bool normalExit = false;
    int exitCode = -1; // stays -1 when the tool never started
    QString output;    // standard error followed by standard output, both in the local 8-bit code page

    bool succeeded() const { return started && !timedOut && normalExit && exitCode == 0; }
};

// Runs a tool in workingDirectory and waits for it in a local event loop, so the window keeps painting.
// A tool still running after limits.finishTimeoutMs is killed and reported as timed out.
ExternalToolRun runExternalTool(const QString &program, const QStringList &arguments,
                                const QString &workingDirectory, const ExternalToolLimits &limits = {});
