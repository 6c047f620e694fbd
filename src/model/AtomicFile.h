#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Every data file goes through here: a reader sees the old file or the new one, never a
// part, and the bytes are never readable by anyone else, not even for a moment.
namespace AtomicFile {

// Writes `bytes` to `path`: a temporary file created 0600 with O_EXCL in the same folder,
// written, fsynced and renamed over the target. Returns false when anything failed (the
// target is then unchanged and the temporary file is gone); `error` then says why.
//
// A data file that is a symbolic link (a dotfile manager's, say) is written through the
// link: the temporary file goes beside the link's final target and replaces it, so the
// link stays and its target holds the new bytes. A dangling link gets its target created.
bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// `path` with every symbolic link along its last component followed (at most 40), so that
// what is written, kept or set aside is the file the user's link points to. `path` itself
// when it is not a link; the final target need not exist.
QString resolveLinks(const QString& path);

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

// Like setAside, but the file stays where it is: the copy is a second name for the same
// bytes (a hard link, or a byte copy where links are not possible), so the next atomic
// write replaces the file and the copy keeps the old bytes. When an earlier copy
// "<name>.unreadable-*" beside it already holds exactly these bytes, that one is returned
// and no new one is made. Empty when no copy could be made.
QString keepCopy(const QString& path);

// Removes the temporary files that a write cut short (a kill -9 between create and
// rename) leaves in `dir`: only names of the form ".<name>.tmp-<hex>" that have not been
// modified for `minAgeSecs`. Returns how many were removed.
int removeStaleTemporaries(const QString& dir, qint64 minAgeSecs = 60);

// True for a name that write() uses for its temporary files.
bool isTemporaryName(const QString& name);
} // namespace AtomicFile
