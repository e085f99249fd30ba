// A graph window with its "Events" panel shown, for a look under a window
// manager: an hour of generated levels with three loud stretches, the
// cursors on the second event. Stays open for the seconds given (default 8):
//   xvfb-run -s '-screen 0 1280x1024x24' sh -c 'openbox & sleep 1;
//     events_screenshot & sleep 4; import -window root /tmp/events.png'

#include "data/GraphTexts.h"
#include "graph/GraphEventsPanel.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 8;
    QTemporaryDir data;
    GraphWindowState state;
    state.dataDirectory = data.path();
    TfrmGraph w(state);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    w.setWindowTitle(QStringLiteral("street.txt"));
    w.resize(1200, 900);

    const double start = GraphTexts::fromDateTime(QDateTime(QDate(2026, 3, 2), QTime(8, 0)));
    constexpr int n = 3600;
    w.prepareGraph(1, 130, 30, start + n / 86400.0, start, n);
    for (int i = 0; i < n; ++i) {
        double level = 62.0 + 4.0 * std::sin(i / 40.0) + 2.0 * std::sin(i / 7.0);
        for (const int loud : {600, 1500, 2900})
            if (i >= loud && i < loud + 40 + loud / 50)
                level = 88.0 + 3.0 * std::sin((i - loud) / 5.0);
        w.graph()->setXDataII(0, i, start + i / 86400.0);
        w.graph()->setYData(0, i, float(std::round(level * 10.0) / 10.0));
    }
    w.updateGraphStatistic();
    w.show();
    w.setEventsVisible(true);
    const QList<ExceedanceEvent>& events = w.eventsPanel()->events();
    if (events.size() > 1)
        w.placeCursors(int(events[1].first), int(events[1].last));
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
