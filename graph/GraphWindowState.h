#pragma once

// The program-wide state that the graph windows and the main window share,
// one copy owned by the main window and handed to every graph window. All of
// it is touched on the main thread only.

#include "data/AnnotationSlots.h"
#include "graph/AcousticBoxSettings.h"
#include "graph/GraphDialogRunner.h"

#include <QPointer>
#include <QString>

class DataSetCollection;
class TfrmGraph;

struct GraphWindowState
{
    // What a click on a chart does, in every graph window.
    enum CursorModes : int
    {
        CursorNormal = -99,
        CursorText = 0,
        CursorCross = 2
    };

    // The windows of the table of kinds; cleared by the windows themselves
    // when they close (LastGraph excepted: it is only read right after the
    // window was created).
    QPointer<TfrmGraph> RealTimeGraph;
    QPointer<TfrmGraph> LoggerGraph;
    QPointer<TfrmGraph> LastGraph;

    bool RealTimeRunning = false;     // real-time recording runs
    bool RealTimeDataUnsaved = false; // the real-time graph holds unsaved samples
    bool LoggerDataUnsaved = false;   // downloaded logger data not yet saved
    qint32 RealTimeSampleCount = 0;   // points written since the last reset
    // The data of the real-time graph, and the downloaded logger data, is
    // kept in the measurement archive: their save questions say so.
    bool RealTimeDataInArchive = false;
    bool LoggerDataInArchive = false;
    // Added to a save question whose data is in the archive.
    static inline const QString InArchiveNote =
        QStringLiteral("\n\nThe data is already kept in the archive; a file is only needed "
                       "to take it elsewhere.");
    float RealTimeInterval = 0.2f;    // seconds between real-time samples

    int CursorMode = CursorNormal;
    int AnnotationCount = AnnotationSlots::kInitialAnnotationCount;
    int CursorIndexA = 0;
    int CursorIndexB = 0;

    // The folder of the program's files; the graph template lies in its
    // "template" folder.
    QString dataDirectory;
    // The data set collection that showDataSet reads; owned by the main window.
    const DataSetCollection* dataSets = nullptr;
    // The "Acoustic" box: shown in every graph window or in none (the View
    // menu), and the threshold a new window starts with (the last one typed).
    AcousticBoxChoices acousticBox;
    // Message boxes and modal dialogs of the graph windows.
    GraphDialogRunner dialogs = GraphDialogRunner::modal();

    [[nodiscard]] QString templateFolder() const;
    [[nodiscard]] QString templatePath() const;
};
