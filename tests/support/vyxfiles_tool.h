#pragma once
// Runs tools/vyxfiles.py, the writer of upgrade packages, recovery files and
// scan files, and hands back the manifest of what it wrote, so a test
// compares the controller's readers with the tool's own account.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>
#include <QStringList>
#include <random>
#include <string>

#include "tests/support/app_process.h"

// `args`: the sub-command, the host path to write and its options.
inline QJsonObject runVyxFiles(const QStringList& args, const std::string& manifestPath)
{
    AppProcess p(QStringLiteral("python3"), QStringList{QStringLiteral(VYX_SOURCE_DIR "/tools/vyxfiles.py")} + args +
                                                QStringList{QStringLiteral("--manifest"), QString::fromStdString(manifestPath)});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        ADD_FAILURE() << "vyxfiles.py " << args.join(' ').toStdString() << ": " << p.readAll().toStdString();
        return QJsonObject();
    }
    QFile f(QString::fromStdString(manifestPath));
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "no manifest " << manifestPath;
        return QJsonObject();
    }
    return QJsonDocument::fromJson(f.readAll()).object();
}

inline std::string sha256(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toStdString();
}

inline uint32_t jsonU32(const QJsonValue& v) { return uint32_t(v.toDouble()); }

// A damaged copy of `good`: cut short, a few bits flipped, or a 32-bit field
// overwritten with a value a lying file would carry.
inline QByteArray damage(const QByteArray& good, std::mt19937& rng)
{
    QByteArray bad = good;
    std::uniform_int_distribution<int> pos(0, good.size() - 1);
    switch (rng() % 4) {
    case 0:
        bad.truncate(pos(rng));
        break;
    case 1:
        for (int n = 1 + rng() % 8; n > 0; --n) {
            int at = pos(rng);
            bad[at] = char(bad[at] ^ (1 << (rng() % 8)));
        }
        break;
    case 2: {
        static const uint32_t liars[] = {0xFFFFFFFFu, 0x80000000u, 0xFFFFFFF0u, 0x7FFFFFFFu, 0x10000u, 0xFFFFu};
        uint32_t v = rng() % 2 ? liars[rng() % 6] : uint32_t(rng());
        int at = pos(rng) & ~3;
        for (int i = 0; i < 4 && at + i < bad.size(); ++i)
            bad[at + i] = char(v >> (8 * i));
        break;
    }
    default: {
        int at = pos(rng);
        bad[at] = char(rng() % 2 ? 0xFF : 0x00);
        bad.truncate(at + 1 + int(rng() % uint32_t(good.size() - at)));
        break;
    }
    }
    return bad;
}

// Keeps the readers' debug lines out of the test output and collects their
// warnings, for as long as it lives.
class QuietLog {
public:
    QuietLog() { m_previous = qInstallMessageHandler(&QuietLog::handle); }
    ~QuietLog() { qInstallMessageHandler(m_previous); }
    static QStringList& warnings()
    {
        static QStringList w;
        return w;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type != QtDebugMsg && type != QtInfoMsg)
            warnings() << text;
    }
    QtMessageHandler m_previous;
};
