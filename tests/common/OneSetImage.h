#pragma once

// A logger memory image for file and command-line tests.

#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QTime>

// One set of `samples` samples from 15:30:05 on 14 April 2010, every second,
// levels stepping from 60.0 dB upwards and over again every 300 samples.
inline QByteArray oneSetImage(int samples)
{
    vmeter::LoggerRecordContent content;
    content.start = QDateTime(QDate(2010, 4, 14), QTime(15, 30, 5));
    content.intervalSeconds = vmeter::LoggerImageBuilder::bcd(1);
    for (int i = 0; i < samples; ++i)
        content.samplesTenths.append(600 + i % 300);
    vmeter::LoggerImageBuilder builder;
    builder.append(content);
    return builder.image();
}
