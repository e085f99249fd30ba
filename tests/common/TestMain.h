#pragma once

// One main for every test: offscreen platform unless one is set, Qt's test
// mode for standard paths, an empty settings store and a temporary data
// directory, so that tests never touch a user's files.

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace TestEnvironment {
inline void prepare()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir home;
    qputenv("AUDIMARK_HOME", home.path().toLocal8Bit());
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path() + "/settings");
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, home.path() + "/settings");
}
} // namespace TestEnvironment

#define AUDIMARK_TEST_MAIN_IMPL(TestObject, AppClass)                                          \
    int main(int argc, char** argv)                                                          \
    {                                                                                        \
        TestEnvironment::prepare();                                                          \
        AppClass app(argc, argv);                                                            \
        app.setOrganizationName(QStringLiteral("AudimarkTests"));                            \
        TestObject tc;                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                           \
        return QTest::qExec(&tc, argc, argv);                                                \
    }

// For tests of the core: no GUI application object.
#define AUDIMARK_TEST_MAIN_CORE(TestObject) AUDIMARK_TEST_MAIN_IMPL(TestObject, QCoreApplication)

// For tests of windows and widgets (include <QApplication> first).
#define AUDIMARK_TEST_MAIN_GUI(TestObject) AUDIMARK_TEST_MAIN_IMPL(TestObject, QApplication)
