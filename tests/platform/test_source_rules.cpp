// Every shell command goes through the device layer: on a host the real
// shell must never run, so only the device back-end may call it.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

TEST(SourceRules, OnlyTheDeviceBackEndCallsTheShell)
{
    const QString top = QStringLiteral(VYX_SOURCE_DIR);
    QRegularExpression call(QStringLiteral("(^|[^_a-zA-Z:.>])(system|popen)\\s*\\("));
    QStringList offenders;
    int scanned = 0;
    for (const char* dir : {"platform", "core", "fpga", "scaler", "video_io", "remote", "ui"}) {
        QDirIterator it(top + "/" + dir, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QString file = it.next();
            ++scanned;
            if (file.startsWith(top + "/platform/") && file.contains("_linux"))
                continue;
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            int line = 0;
            QTextStream in(&f);
            while (!in.atEnd()) {
                QString text = in.readLine();
                ++line;
                QString code = text.section("//", 0, 0);
                if (call.match(code).hasMatch())
                    offenders << QString("%1:%2").arg(file.mid(top.size() + 1)).arg(line);
            }
        }
    }
    EXPECT_GT(scanned, 10);
    EXPECT_TRUE(offenders.isEmpty()) << offenders.join("\n").toStdString();
}
