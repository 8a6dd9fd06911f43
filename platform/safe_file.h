#pragma once
// Stored files that survive a power cut. Every file the device keeps and
// rewrites (parameters, user modes, configuration, files the PC sends, EDID
// tables, recovery and WiFi files) is replaced through these, never written
// in place: the new bytes go to a temporary file in the same directory,
// reach the storage, and only then are renamed over the old file, whose
// directory is flushed last. A power cut at any instant leaves the old or
// the new content, never a torn or empty file.
//
// Paths are system paths ("/data/x"), resolved under the root here; the
// bytes of the file are exactly the bytes given.

#include <QByteArray>
#include <cstddef>
#include <functional>
#include <string>

class QSettings;

namespace platform {

// Replaces (or creates) `path` with `size` bytes from `data`. A file that
// already exists keeps its permission bits. False, with errno set and the
// old file untouched, when it could not.
bool replaceFile(const std::string& path, const void* data, size_t size);
bool replaceFile(const std::string& path, const QByteArray& data);

// Reads the whole of `path`. False (errno set) when it cannot be read.
bool readFile(const std::string& path, QByteArray* data);

// Replaces `to` with the bytes of `from`; false, leaving `to` as it was,
// when `from` cannot be read.
bool copyFile(const std::string& from, const std::string& to);

// Runs `edit` on a QSettings (ini format) holding the content of `path` and
// replaces the file when the edit changed it. QSettings writes its own
// bytes, so it works on a scratch copy under "/tmp" whose result is put in
// place like any other file. False when the new file could not be written.
bool editIniFile(const std::string& path, const std::function<void(QSettings&)>& edit);

// ---- power-cut sweep (tests and the simulation) ----
// Every system call of a replacement (create, each write of at most 1 KiB,
// flush, close, rename, directory flush) is one write step. With
// crashAtWriteStep(n) the process ends at the n-th step from now, as a
// power cut would: a write step writes half its bytes first, and a file
// whose data has not reached the storage yet is emptied. 0 switches it off.
// The application takes n from VYX_CRASH_AT_WRITE on a host.
constexpr int kPowerCutExitCode = 86;
void crashAtWriteStep(unsigned n);
// Write steps taken since the last crashAtWriteStep().
unsigned writeSteps();

} // namespace platform
