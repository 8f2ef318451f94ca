#pragma once

#include <QByteArray>
#include <QString>

// Appends one sample line to a day file, creating the file when missing. A torn last line (no CR LF,
// left by a crash or a full disk) is cut back to the last CR LF first so that no line is glued to it;
// a short write is undone. Returns false when the line is not in the file whole.
bool AppendDayLine(const QString& path, const QByteArray& line);
