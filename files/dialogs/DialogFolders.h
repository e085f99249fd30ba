#pragma once

// Where the file dialogs start: the folder of the last file chosen, kept per
// kind of file in the program's settings, so that graphs, exports,
// collections and reports each come back to their own folder. Before any
// choice (or when that folder is gone) the user's documents folder, never
// the program's hidden data directory.

#include <QString>

class QSettings;

class DialogFolders
{
public:
    enum class Kind
    {
        Graphs,      // graph save and single file open (*.ghf, *.txt, *.csv)
        Exports,     // the list window's text and CSV export
        Collections, // data set collection files (*.rec)
        Reports      // the PDF report
    };

    // The settings key of a kind ("dialogs/graphs-folder", ...).
    [[nodiscard]] static QString key(Kind kind);
    // The last folder of this kind that still exists, else fallback().
    [[nodiscard]] static QString startFolder(QSettings& store, Kind kind);
    [[nodiscard]] static QString startFolder(Kind kind);
    // Notes the folder of a chosen file; an empty path (a cancelled dialog)
    // changes nothing.
    static void remember(QSettings& store, Kind kind, const QString& chosenFile);
    static void remember(Kind kind, const QString& chosenFile);
    // The documents folder, or the home folder where there is none.
    [[nodiscard]] static QString fallback();
};
