#pragma once
// The lines Qt's debug output receives while a DebugLines lives, one per
// message without its line break, so a test can check what a key handler
// wrote. Not thread-safe: for handlers that run in the test's own thread.

#include <QString>
#include <QStringList>
#include <QtGlobal>

class DebugLines {
public:
    DebugLines()
    {
        taken().clear();
        m_previous = qInstallMessageHandler(&DebugLines::keep);
    }
    ~DebugLines() { qInstallMessageHandler(m_previous); }
    DebugLines(const DebugLines&) = delete;
    DebugLines& operator=(const DebugLines&) = delete;

    // The debug lines written since the last call.
    QStringList take()
    {
        QStringList lines;
        lines.swap(taken());
        return lines;
    }

private:
    static QStringList& taken()
    {
        static QStringList lines;
        return lines;
    }
    static void keep(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type == QtDebugMsg)
            taken() << text.trimmed();
    }
    QtMessageHandler m_previous;
};
