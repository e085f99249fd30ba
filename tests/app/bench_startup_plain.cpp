// The baseline of the start-up benchmark: the least a Qt Widgets program
// does to show a maximised main window with a menu bar, a tool bar, a
// multiple-document area and a status bar. Prints "shown" once the window
// has been painted, then quits.

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cstdio>

namespace {
class FirstPaint : public QObject
{
protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // After the paint has finished and gone to the screen.
            QTimer::singleShot(0, qApp, [] {
                std::puts("shown");
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool seen_ = false;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Plain"));
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("E&xit"));
    window.addToolBar(QStringLiteral("Tools"))->addAction(QStringLiteral("Open"));
    window.setCentralWidget(new QMdiArea);
    window.statusBar()->showMessage(QStringLiteral("Off Connection"));
    FirstPaint firstPaint;
    window.installEventFilter(&firstPaint);
    window.showMaximized();
    return QApplication::exec();
}
