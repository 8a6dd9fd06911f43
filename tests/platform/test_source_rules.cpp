// Rules the sources keep, checked on the sources themselves.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <functional>

namespace {

// "file:line" of every code line (comments cut off) that matches `rule`,
// in the program's folders; `allowed` files are skipped.
QStringList offenders(const QRegularExpression& rule, const std::function<bool(const QString&)>& allowed)
{
    const QString top = QStringLiteral(VYX_SOURCE_DIR);
    QStringList found;
    int scanned = 0;
    for (const char* dir : {"platform", "core", "fpga", "scaler", "video_io", "remote", "ui"}) {
        QDirIterator it(top + "/" + dir, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QString file = it.next();
            ++scanned;
            if (allowed(file.mid(top.size() + 1)))
                continue;
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly)) {
                found << file + ": unreadable";
                continue;
            }
            int line = 0;
            QTextStream in(&f);
            while (!in.atEnd()) {
                QString code = in.readLine().section("//", 0, 0);
                ++line;
                if (rule.match(code).hasMatch())
                    found << QString("%1:%2").arg(file.mid(top.size() + 1)).arg(line);
            }
        }
    }
    if (scanned < 10)
        found << "only " + QString::number(scanned) + " files scanned";
    return found;
}

} // namespace

// On a host the real shell must never run, so only the device back-end may
// call it.
TEST(SourceRules, OnlyTheDeviceBackEndCallsTheShell)
{
    QRegularExpression rule(QStringLiteral("(^|[^_a-zA-Z:.>])(system|popen)\\s*\\("));
    QStringList found = offenders(
        rule, [](const QString& file) { return file.startsWith("platform/") && file.contains("_linux"); });
    EXPECT_TRUE(found.isEmpty()) << found.join("\n").toStdString();
}

// A file written in place is torn by a power cut: stored files are written
// only through platform/safe_file.h. The device layer's own device files
// and the simulation's models are its business.
TEST(SourceRules, StoredFilesAreWrittenOnlyThroughTheSafeWriter)
{
    QRegularExpression rule(QStringLiteral(
        "fopen\\s*\\([^;]*,\\s*\"(w|a|r\\+|rb\\+)|ofstream|QSaveFile|QIODevice::(WriteOnly|ReadWrite|Append)"
        "|O_WRONLY|O_CREAT|O_TRUNC|O_APPEND"));
    QStringList found = offenders(rule, [](const QString& file) { return file.startsWith("platform/"); });
    EXPECT_TRUE(found.isEmpty()) << found.join("\n").toStdString();
}
