// Writes the collection file of the command line's export benchmark: one
// data set of 31,992 samples one second apart from 14 April 2010 23:00
// (across midnight), levels in 0.1 dB steps. Usage: bench_cli_export_data
// FILE.rec; then time `audimark-cli export FILE.rec --set 1 --format csv
// --out OUT.csv` as a whole process.

#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QCoreApplication>
#include <QFile>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    vmeter::LoggerRecordContent content;
    content.start = QDateTime(QDate(2010, 4, 14), QTime(23, 0, 0));
    content.intervalSeconds = vmeter::LoggerImageBuilder::bcd(1);
    content.aWeighting = true;
    for (int i = 0; i < 31992; ++i)
        content.samplesTenths.append(450 + (i * 37) % 500);
    vmeter::LoggerImageBuilder builder;
    builder.append(content);
    const QByteArray image = builder.image();
    QFile file(QString::fromLocal8Bit(argv[1]));
    return file.open(QIODevice::WriteOnly) && file.write(image) == image.size() ? 0 : 1;
}
