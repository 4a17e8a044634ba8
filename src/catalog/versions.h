#pragma once

#include <QString>
#include <QStringList>

// Mod authors write versions freely ("v1.2", "1,2", "1.2.0", "12", "1.2-beta", "Version 2"); these functions
// give the whole program one tolerant, total order over such texts and pull versions out of names and prose.

// Negative when a is older than b, 0 when they count as equal, positive when a is newer. An empty version
// equals everything; callers that must not accept a missing version test for emptiness first.
int compareVersions(const QString &a, const QString &b);

// Version texts found at the end of an archive name, longest first ("mod_2_10_3.zip" gives "2.10.3", "10.3").
QStringList archiveNameVersions(const QString &fileName);

// The version named by an explicit minimum-version phrase ("ab Version 1.2", "mind. 2.0", "v3.1 or newer"),
// or an empty text.
QString minimumVersionPhrase(const QString &text);

// A version pulled out of free text: a minimum-version phrase first, then the first number run; the trimmed
// text itself when it holds no number.
QString versionFromText(const QString &text);

// The release version of the manager's own catalog entry: the newer of the entry's version and a version
// written in its file name.
QString managerReleaseVersion(const QString &entryVersion, const QString &fileName);

// Whether the available manager release is newer than the running program.
bool isNewerManagerRelease(const QString &available);
