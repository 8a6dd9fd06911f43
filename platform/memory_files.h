#pragma once
// Files held in memory in the place of files under the root, for programs
// that hand a reader thousands of files a second (the fuzz targets): a held
// file is what LockedFileReader reads and fileExists() finds at its path,
// with no file written, opened or looked up. Simulation only; nothing is
// held unless a test holds it, and then the readers' file system calls are
// the only thing that changes.

#include <QByteArray>
#include <QString>

namespace platform {

// Holds `data` as the file at the system path `absPath` ("/data/x"),
// replacing what was held there. Ends the program on the device back-end.
void holdFile(const QString& absPath, const QByteArray& data);
// Lets go of the file held at `absPath`: the root's shows again.
void releaseFile(const QString& absPath);
// The bytes held at `absPath`; false when nothing is.
bool heldFile(const QString& absPath, QByteArray* data);

// A file at the system path `absPath`: held, or existing under the root.
bool fileExists(const QString& absPath);

} // namespace platform
