#include "tests/support/child.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>

namespace {
std::map<std::string, ChildMain::Main>& registry()
{
    static std::map<std::string, ChildMain::Main> children;
    return children;
}
const char* const kChildVariable = "VYX_TEST_CHILD";
} // namespace

ChildMain::ChildMain(const char* name, Main main) { registry()[name] = main; }

int runChild(const char* name, const std::map<std::string, std::string>& env, QByteArray* output)
{
    QProcess child;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(kChildVariable, name);
    for (const auto& [key, value] : env)
        e.insert(QString::fromStdString(key), QString::fromStdString(value));
    child.setProcessEnvironment(e);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    bool finished = child.waitForStarted(10000) && child.waitForFinished(30000);
    if (output)
        *output = child.readAll();
    if (!finished) {
        child.kill();
        child.waitForFinished(5000);
        return -1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

std::string childEnv(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool runChildIfAsked(int* exitCode)
{
    const char* name = std::getenv(kChildVariable);
    if (!name)
        return false;
    auto it = registry().find(name);
    *exitCode = it == registry().end() ? 127 : it->second();
    return true;
}
