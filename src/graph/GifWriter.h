// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace graph
{
// The image as a GIF file's bytes: exact colours when it has at most 256 of them (the graph has a
// handful), otherwise a fixed 6 × 6 × 6 colour cube. Empty when encoding fails.
QByteArray EncodeGif(const QImage& image);

// Writes the image to path as a GIF file, replacing the file only once every byte is on disk. False
// on any failure, and then no new or partial file is left at path.
bool WriteGif(const QImage& image, const QString& path);
} // namespace graph
