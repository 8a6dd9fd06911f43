#include "core/globals.h"
#include "core/utils.h"
#include "platform/platform.h"
#include "platform/shell.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <cstdlib>
#include <iconv.h>
#include <sys/stat.h>
#include <vector>

int Utils::ChangeCode(const char* fromCharset, const char* toCharset, const char* in, unsigned int* inLength,
                      char* out, unsigned int* outLength)
{
    iconv_t cd = iconv_open(toCharset, fromCharset);
    if (cd == (iconv_t)-1) {
        VYX_DEBUG("iconv_open %s -> %s failed\n", fromCharset, toCharset);
        return -1;
    }
    char* inPtr = const_cast<char*>(in);
    size_t inLeft = *inLength, outLeft = *outLength;
    size_t rc = iconv(cd, &inPtr, &inLeft, &out, &outLeft);
    *inLength = static_cast<unsigned int>(inLeft);
    *outLength = static_cast<unsigned int>(outLeft);
    iconv_close(cd);
    return static_cast<int>(rc);
}

namespace {
int convert(std::string& text, const char* from, const char* to)
{
    std::string in = text;
    unsigned int inLen = static_cast<unsigned int>(in.size());
    unsigned int outSize = inLen * 3;
    std::vector<char> out(outSize + 1, 0);
    unsigned int outLeft = outSize;
    int rc = Utils::ChangeCode(from, to, in.data(), &inLen, out.data(), &outLeft);
    if (rc == -1 && outLeft == outSize) {
        text.clear();
        return rc;
    }
    text.assign(out.data(), outSize - outLeft);
    return rc;
}
} // namespace

int Utils::GB2312ToUTF8(std::string& text) { return convert(text, "gb2312", "UTF-8"); }
int Utils::GB2312ToUnicode(std::string& text) { return convert(text, "gb2312", "UCS-2LE"); }
int Utils::UTF8ToUnicode(std::string& text) { return convert(text, "UTF-8", "UCS-2LE"); }
int Utils::UnicodeToUTF8(std::string& text) { return convert(text, "UCS-2LE", "UTF-8"); }
int Utils::UTF8ToGB2312(std::string& text) { return convert(text, "UTF-8", "GB2312"); }
int Utils::UnicodeToGB2312(std::string& text) { return convert(text, "UCS-2LE", "GB2312"); }

bool Utils::isFileExists(std::string path, bool regularOnly)
{
    struct stat st;
    if (::stat(platform::sysPath(path).c_str(), &st) != 0)
        return false;
    return !regularOnly || S_ISREG(st.st_mode);
}

bool Utils::isDirExists(std::string path)
{
    struct stat st;
    return ::stat(platform::sysPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void Utils::get_file_list_smartpath(QStringList list, QString directory, QString suffix)
{
    QDir dir(platform::sysPath(directory));
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Unsorted);
    for (const QFileInfo& fi : entries) {
        if (fi.suffix() == suffix) {
            list.append(fi.absoluteFilePath());
            qDebug() << fi.absoluteFilePath();
        }
    }
}

int Utils::change_file_formt(std::string path)
{
    if (!isFileExists(path, false))
        return -1;
    // Not under the shell runner's mutex: these are plain commands.
    platform::Shell& sh = platform::shell();
    sh.run("dos2unix " + path);
    sh.run("sync");
    sh.run("sed -i 's/\\xEF\\xBB\\xBF//g' " + path);
    sh.run("sync");
    return 0;
}
