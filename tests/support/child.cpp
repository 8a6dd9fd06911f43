#include "tests/support/child.h"

#include <QCoreApplication>
#include <cstdlib>

#include "tests/support/app_process.h"

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
    QStringList set{QStringLiteral("%1=%2").arg(kChildVariable, name)};
    for (const auto& [key, value] : env)
        set << QString::fromStdString(key + "=" + value);
    // Cross-built, this program runs under the emulator, and so does its child.
    QString program = QStringLiteral(VYX_APP_EMULATOR);
    QStringList args;
    if (program.isEmpty())
        program = QCoreApplication::applicationFilePath();
    else
        args << QCoreApplication::applicationFilePath();
    AppProcess child(program, args, set);
    bool finished = child.waitForStarted(10000) && child.waitForFinished(30000);
    if (output)
        *output = child.readAll();
    if (!finished) {
        child.kill();
        return -1;
    }
    return child.exitStatus() == AppProcess::NormalExit ? child.exitCode() : -1;
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
