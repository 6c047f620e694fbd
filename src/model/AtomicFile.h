#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Every data file goes through here: a reader sees the old file or the new one, never a
// part, and the bytes are never readable by anyone else, not even for a moment.
namespace AtomicFile {

// Writes `bytes` to `path`: a temporary file created 0600 with O_EXCL in the same folder,
// written, fsynced and renamed over the target. Returns false when anything failed (the
// target is then unchanged and the temporary file is gone).
bool write(const QString& path, const QByteArray& bytes);

// Creates `path` and its missing parents, and sets the folder itself to 0700.
bool ensurePrivateDir(const QString& path);

// Sets 0600 on a file; false when it failed.
bool makePrivate(const QString& path);

// Reads a whole regular file of at most `maxBytes`. Absent when the file is missing, is
// not a regular file, cannot be read or is larger than the cap.
std::optional<QByteArray> read(const QString& path, qint64 maxBytes = 256 * 1024 * 1024);

// A data file that exists but could not be used is moved aside as
// "<name>.unreadable-<yyyyMMdd-HHmmss>" (with a counter when that name is taken), so that
// the next save cannot destroy what the user had. Returns the new path, empty on failure.
QString setAside(const QString& path);

} // namespace AtomicFile
