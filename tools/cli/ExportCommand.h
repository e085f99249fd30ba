#pragma once

// `audimark-cli export FILE.rec --set N --format csv|txt [--out PATH]
// [--from A --to B]`: the graph export lines of data set N (numbered from 1,
// as in the data set list) of a data set collection file, written exactly as
// the program's text and CSV export writes them: to PATH, complete or not at
// all, or to standard output. --from/--to follow the range dialog's rules;
// either alone takes the dialog's default for the other (1, or the last
// point). CSV is refused where the decimal separator is a comma, as the
// program withdraws it there.
//
// Exit status: 0 when written; 2 for usage errors (including "invalid
// integer" and CSV under a comma decimal separator); 1 when the file cannot
// be read, has no such set or the output cannot be written; 10 + the
// LoadResult value when the file does not decode. One line on stderr.

#include <QString>

struct ExportOptions
{
    QString file;
    int set = 0;      // 1-based
    bool csv = false; // else TAB-separated text
    QString outFile;  // empty: standard output
    QString fromText; // empty: not given
    QString toText;   // empty: not given
};

[[nodiscard]] int runExportCommand(const ExportOptions& options);
