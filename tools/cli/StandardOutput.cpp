#include "tools/cli/StandardOutput.h"

#include <QString>
#include <QTextStream>

#include <cerrno>
#include <cstdio>

int withOutputChecked(int status)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    if (flushed && !std::ferror(stdout))
        return status;
    const QString reason =
        flushed || error == 0 ? QString() : QStringLiteral(": ") + qt_error_string(error);
    QTextStream(stderr) << "audimark-cli: cannot write to standard output" << reason << '\n';
    return status == 0 ? 1 : status;
}
