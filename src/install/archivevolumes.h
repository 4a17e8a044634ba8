#pragma once

#include <QString>

// What a file name says about its place in a multi-part archive. All fields are false, empty or 0 for a
// plain single archive.
struct ArchiveVolumeInfo
{
    bool isMultiVolume = false;
    // Scheme tag and lower-case base name of the set; volumes of one archive share it.
    QString groupKey;
    // The volume's number in its set, counting from 1.
    int partNumber = 0;
    // The volume to hand to the extractor.
    bool isFirst = false;
};

// Recognises "name.part1.rar" sets, numbered "name.7z.001" sets and old-style "name.rar", "name.r00" sets
// from the last path component alone; no file is opened.
ArchiveVolumeInfo parseArchiveVolumeName(const QString &fileName);
