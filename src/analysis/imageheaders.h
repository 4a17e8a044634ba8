#pragma once

#include <QSize>
#include <QString>

// The pixel size of a texture or image, read from its header; invalid when the file is no image we know or is
// cut short. DDS is recognised by its magic, TGA by its suffix; PNG, JPEG, BMP, GIF and WebP by their
// signatures. Only the first 128 bytes are read, except for JPEG, whose size frame may follow metadata
// segments that are skipped without reading them.
QSize readImageSize(const QString &path);
