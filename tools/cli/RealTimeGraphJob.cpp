#include "tools/cli/RealTimeGraphJob.h"

#include "tools/cli/ReportRunner.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

namespace {
constexpr quint32 JobVersion = 1;
// The largest job read back: a year of samples at 0.1 s.
constexpr quint64 MaxSamples = 366ull * 86400ull * 10ull;
} // namespace

bool RealTimeGraphJob::write(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_4);
    out << JobVersion << outFile << start << end << qint32(points) << intervalSeconds
        << quint64(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        out << x[i] << y[i] << qint32(weighting[i]);
    return out.status() == QDataStream::Ok && file.flush() && file.error() == QFile::NoError &&
           file.commit();
}

std::optional<RealTimeGraphJob> RealTimeGraphJob::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 version = 0;
    RealTimeGraphJob job;
    qint32 points = 0;
    quint64 n = 0;
    in >> version >> job.outFile >> job.start >> job.end >> points >> job.intervalSeconds >> n;
    if (in.status() != QDataStream::Ok || version != JobVersion || n > MaxSamples || points < 0)
        return std::nullopt;
    job.points = points;
    job.x.resize(n);
    job.y.resize(n);
    job.weighting.resize(n);
    for (quint64 i = 0; i < n; ++i) {
        qint32 weighting = 0;
        in >> job.x[i] >> job.y[i] >> weighting;
        if (weighting < int(AcousticWeighting::A) || weighting > int(AcousticWeighting::Mixed))
            return std::nullopt;
        job.weighting[i] = AcousticWeighting(weighting);
    }
    if (in.status() != QDataStream::Ok)
        return std::nullopt;
    return job;
}

bool RealTimeGraphJob::runWriter(QTextStream& err) const
{
    QString program;
    const QStringList candidates =
        ReportRunner::candidatePaths(QCoreApplication::applicationDirPath());
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isExecutable()) {
            program = candidate;
            break;
        }
    }
    if (program.isEmpty()) {
        err << "audimark-cli: cannot find the report program " << ReportRunner::programName()
            << ", which writes graph files (looked for " << candidates.join(QStringLiteral(" and "))
            << ")" << Qt::endl;
        return false;
    }
    QTemporaryDir directory;
    const QString jobFile = directory.filePath(QStringLiteral("graph.job"));
    if (!directory.isValid() || !write(jobFile)) {
        err << "audimark-cli: cannot write " << outFile << ": no room for the samples in a "
            << "temporary file" << Qt::endl;
        return false;
    }
    err.flush();
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedChannels);
    writer.start(program, {QStringLiteral("graph"), jobFile});
    if (!writer.waitForFinished(-1) || writer.exitStatus() != QProcess::NormalExit) {
        err << "audimark-cli: cannot write " << outFile << ": " << program << " "
            << writer.errorString() << Qt::endl;
        return false;
    }
    return writer.exitCode() == 0;
}
