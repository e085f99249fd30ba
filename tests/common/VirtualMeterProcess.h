#pragma once

// The virtual meter as a separate process, as a user would run it: started
// with the given options, told "quit" when the test is done. The test
// registration points AUDIMARK_VIRTUAL_METER at the built program.

#include <QProcess>
#include <QStringList>

class VirtualMeterProcess
{
public:
    explicit VirtualMeterProcess(const QStringList& arguments)
    {
        process.setProgram(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER"));
        process.setArguments(arguments);
        process.start();
    }
    ~VirtualMeterProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.write("quit\n");
            if (!process.waitForFinished(3000))
                process.kill();
        }
    }
    VirtualMeterProcess(const VirtualMeterProcess&) = delete;
    VirtualMeterProcess& operator=(const VirtualMeterProcess&) = delete;

    // The pseudo-terminal the meter serves, from its first line of output.
    [[nodiscard]] QString waitForPath()
    {
        while (!process.canReadLine() && process.waitForReadyRead(5000)) {
        }
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }

    QProcess process;
};
