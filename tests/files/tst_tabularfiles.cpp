// The list window's table and its files: the text import (fields, long
// lines, line ends, the first line without separator), the grid export
// (bytes, separator by name, range, cancel, failure), the CSV round trip
// and the printout's lines and pages.

#include "common/FileBytes.h"
#include "common/TestMain.h"
#include "files/formats/GridExport.h"
#include "files/formats/GridPrintout.h"
#include "files/formats/TabularTable.h"
#include "files/formats/TextImport.h"

#include <QTemporaryDir>

using Rows = QList<QStringList>;
Q_DECLARE_METATYPE(Rows)

namespace {
// Every cell of every data row, columns 0 to 6.
Rows cellsOf(const TabularTable& table)
{
    Rows rows;
    for (int r = 1; r < table.gridRowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < TabularTable::ColumnCount; ++c)
            row << table.cell(r, c);
        rows << row;
    }
    return rows;
}

QStringList row(int number, QStringList fields)
{
    while (fields.size() < TabularTable::DataColumnCount)
        fields << QString();
    fields.prepend(number > 0 ? QString::number(number) : QString());
    return fields;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString blanks(int n)
{
    return QString(n, QLatin1Char(' '));
}
} // namespace

class TestTabularFiles : public QObject
{
    Q_OBJECT

private slots:
    void newTableHasOneEmptyRow()
    {
        TabularTable table;
        QCOMPARE(table.gridRowCount(), 2);
        QCOMPARE(cellsOf(table), Rows{row(0, {})});
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(table.columnCount(), 7);
        const QStringList headings = {"No", "Date", "Time", "Value", "", "", ""};
        for (int c = 0; c < 7; ++c) {
            QCOMPARE(table.cell(0, c), headings[c]);
            QCOMPARE(table.headerData(c, Qt::Horizontal).toString(), headings[c]);
        }
        QVERIFY(!(table.flags(table.index(0, 1)) & Qt::ItemIsEditable));
    }

    void import_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<Rows>("rows");
        const QChar comma(','), tab('\t');
        QTest::newRow("graph export line, TAB, CR LF")
            << QByteArray("14.04.2010\t09:05:07.0\t65,3\r\n14.04.2010\t09:05:08.5\t66,0\r\n") << tab
            << Rows{row(1, {"14.04.2010", "09:05:07.0", "65,3"}),
                    row(2, {"14.04.2010", "09:05:08.5", "66,0"})};
        QTest::newRow("LF only, no line end at the end")
            << QByteArray("a,b,c\nd,e,f") << comma
            << Rows{row(1, {"a", "b", "c"}), row(2, {"d", "e", "f"})};
        QTest::newRow("first line without separator: empty list")
            << QByteArray("Date Time Value\r\n1,2,3\r\n") << comma << Rows{row(0, {})};
        QTest::newRow("empty file") << QByteArray() << comma << Rows{row(0, {})};
        QTest::newRow("stops at the first line without separator")
            << QByteArray("a,b\r\nplain\r\nc,d\r\n") << comma << Rows{row(1, {"a", "b"})};
        QTest::newRow("more than six fields: the rest dropped")
            << QByteArray("1,2,3,4,5,6,7,8\r\n") << comma
            << Rows{row(1, {"1", "2", "3", "4", "5", "6"})};
        QTest::newRow("empty fields and a trailing separator")
            << QByteArray(",,x,\r\n") << comma << Rows{row(1, {"", "", "x"})};
        QTest::newRow("the other separator is text")
            << QByteArray("1,5\t2\r\n") << tab << Rows{row(1, {"1,5", "2"})};
        QTest::newRow("200-character line fills one row, the import goes on")
            << (QByteArray("a,") + QByteArray(176, 'x') + "," + QByteArray(21, 'y') + "\r\nb,c\r\n")
            << comma << Rows{row(1, {"a", QString(176, QLatin1Char('x'))}), row(2, {"b", "c"})};
        QTest::newRow("byte order mark before the first field")
            << QByteArray("\xef\xbb\xbf" "a,b\r\n") << comma << Rows{row(1, {"a", "b"})};
        QTest::newRow("bytes that are no UTF-8 read as replacement characters")
            << QByteArray("\xff,x\xfe\r\n") << comma
            << Rows{row(1, {QString(QChar::ReplacementCharacter),
                            "x" + QString(QChar::ReplacementCharacter)})};
        QTest::newRow("220 two-byte characters keep 179 characters")
            << (QByteArray("a,") + QByteArray("\xc3\xa4").repeated(220) + "\r\nb,c\r\n") << comma
            << Rows{row(1, {"a", QString(177, QChar(0xE4))}), row(2, {"b", "c"})};
        QTest::newRow("UTF-8 text")
            << QByteArray("M\xc3\xa4rz,\xe2\x82\xac\r\n") << comma
            << Rows{row(1, {QString::fromUtf8("M\xc3\xa4rz"), QString::fromUtf8("\xe2\x82\xac")})};
    }

    void import()
    {
        QFETCH(QByteArray, content);
        QFETCH(QChar, separator);
        QFETCH(Rows, rows);
        QTemporaryDir dir;
        TabularTable table;
        const TextImport::Outcome outcome =
            TextImport::read(writeFile(dir, "in.txt", content), separator, table);
        QVERIFY(outcome.opened);
        QVERIFY(!outcome.cancelled);
        QCOMPARE(cellsOf(table), rows);
        QCOMPARE(outcome.lines, rows.first().first().isEmpty() ? 0 : int(rows.size()));
    }

    void longLineKeeps179Characters()
    {
        // 2 + 176 + 1 characters of the 200 fill the row: 179 in all.
        QTemporaryDir dir;
        TabularTable table;
        const QByteArray line = "a," + QByteArray(176, 'x') + "," + QByteArray(21, 'y');
        QCOMPARE(line.size(), 200);
        (void)TextImport::read(writeFile(dir, "long.csv", line + "\r\nb,c\r\n"), ',', table);
        QCOMPARE(table.cell(1, 1) + "," + table.cell(1, 2) + "," + table.cell(1, 3),
                 QString::fromLatin1(line.left(TextImport::MaxLineLength)));
        QCOMPARE(table.cell(2, 1), QStringLiteral("b"));
    }

    // Lines are found in pieces of the file: a line that begins in one piece
    // and ends in the next, and a CR LF cut between two pieces, read as any
    // other line. 17- and 20-byte lines put the cut at the CR of line 61,681
    // and inside line 52,429.
    void linesAcrossPieces_data()
    {
        QTest::addColumn<int>("lineBytes");
        QTest::newRow("CR LF cut between pieces") << 17;
        QTest::newRow("a line cut between pieces") << 20;
    }

    void linesAcrossPieces()
    {
        QFETCH(int, lineBytes);
        const int lines = (3 << 20) / lineBytes; // three pieces
        QByteArray bytes;
        bytes.reserve(qsizetype(lines) * lineBytes);
        for (int i = 0; i < lines; ++i) {
            const QByteArray number = QByteArray::number(i + 1);
            bytes += number + ',' + QByteArray(lineBytes - 3 - number.size(), 'x') + "\r\n";
        }
        QTemporaryDir dir;
        TabularTable table;
        const TextImport::Outcome outcome =
            TextImport::read(writeFile(dir, "pieces.csv", bytes), ',', table);
        QCOMPARE(outcome.lines, lines);
        QCOMPARE(table.dataRowCount(), lines);
        for (int r = 1; r <= lines; ++r) {
            const QString number = QString::number(r);
            if (table.cell(r, 1) != number ||
                table.cell(r, 2) != QString(lineBytes - 3 - number.size(), QLatin1Char('x')) ||
                !table.cell(r, 3).isEmpty())
                QFAIL(qPrintable(QStringLiteral("row %1: %2|%3|%4")
                                     .arg(r)
                                     .arg(table.cell(r, 1), table.cell(r, 2), table.cell(r, 3))));
        }
        QCOMPARE(table.cell(lines, 0), QString::number(lines));
    }

    // The rest of a line of megabytes is passed over with Cancel asked all
    // along, and a Cancel there ends the import with the rows read so far.
    void longLineIsPassedOverWithCancelLive_data()
    {
        QTest::addColumn<int>("cancelAtCall");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("read to the end") << 0 << 2 << false;
        QTest::newRow("cancelled inside the long line") << 2 << 1 << true;
    }

    void longLineIsPassedOverWithCancelLive()
    {
        QFETCH(int, cancelAtCall);
        QFETCH(int, lines);
        QFETCH(bool, cancelled);
        QTemporaryDir dir;
        const QByteArray longLine = "a,b" + QByteArray(5 << 20, 'x');
        const QString path = writeFile(dir, "long.csv", longLine + "\r\nc,d\r\n");
        TabularTable table;
        QList<int> seen;
        const TextImport::Outcome outcome = TextImport::read(path, ',', table, [&](int n) {
            seen << n;
            return int(seen.size()) != cancelAtCall;
        });
        QCOMPARE(outcome.cancelled, cancelled);
        QCOMPARE(outcome.lines, lines);
        QCOMPARE(table.dataRowCount(), lines);
        QCOMPARE(table.cell(1, 2), "b" + QString(TextImport::MaxLineLength - 3, QLatin1Char('x')));
        // Line 1 is counted once, then Cancel is asked for each megabyte of it.
        QVERIFY(seen.count(1) >= (cancelled ? 2 : 4));
        QCOMPARE(seen.contains(2), !cancelled);
        if (!cancelled)
            QCOMPARE(table.cell(2, 2), QStringLiteral("d"));
    }

    void importProgressAndCancel()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, "five.csv", "1,a\r\n2,b\r\n3,c\r\n4,d\r\n5,e\r\n");
        TabularTable table;
        QList<int> seen;
        const TextImport::Outcome outcome = TextImport::read(path, ',', table, [&](int n) {
            seen << n;
            return n < 3;
        });
        QCOMPARE(seen, (QList<int>{1, 2, 3}));
        QVERIFY(outcome.cancelled);
        QCOMPARE(outcome.lines, 2);
        QCOMPARE(table.gridRowCount(), 3);
        QCOMPARE(table.cell(2, 2), QStringLiteral("b"));
    }

    void unreadableFileLeavesTheTable()
    {
        QTemporaryDir dir;
        TabularTable table;
        (void)TextImport::read(writeFile(dir, "a.csv", "x,y\r\n"), ',', table);
        const TextImport::Outcome outcome =
            TextImport::read(dir.filePath("missing.csv"), ',', table);
        QVERIFY(!outcome.opened);
        QCOMPARE(table.cell(1, 1), QStringLiteral("x"));
    }

    void separatorForExtension()
    {
        QCOMPARE(TextImport::separatorForExtension("/d/A.TXT"), std::optional<QChar>('\t'));
        QCOMPARE(TextImport::separatorForExtension("/d/a.Csv"), std::optional<QChar>(','));
        QCOMPARE(TextImport::separatorForExtension("/d/a.ghf"), std::nullopt);
    }

    void gridExportBytes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray tabbed = "14.04.2010\t09:05:07.0\t65,3\t\t\t\t\r\n"
                                  "b\t\t\t\t\t\t\r\n";
        QTest::newRow("a.dat: TAB") << "a.dat" << tabbed;
        QTest::newRow("a.txt: TAB") << "a.txt" << tabbed;
        QTest::newRow("a.CSV: comma") << "a.CSV"
                                      << QByteArray("14.04.2010,09:05:07.0,65,3,,,,\r\n"
                                                    "b,,,,,,\r\n");
        QTest::newRow("last three letters csv: comma")
            << "datacsv" << QByteArray("14.04.2010,09:05:07.0,65,3,,,,\r\nb,,,,,,\r\n");
    }

    void gridExportBytes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        TabularTable table;
        table.appendRow({"14.04.2010", "09:05:07.0", "65,3"});
        table.appendRow({"b"});
        const QString path = dir.filePath(name);
        const FileWriteOutcome outcome =
            GridExport::write(path, table, ExportRange::all(table.dataRowCount()),
                              GridExport::separatorForFileName(path));
        QVERIFY(outcome.written());
        QCOMPARE(outcome.lines, 2);
        QCOMPARE(fileBytes(path), bytes);
    }

    // The file's bytes are each row's line text, whatever its cells hold:
    // plain ASCII, other characters, a byte order mark inside a line, bytes
    // that are no UTF-8, a line cut at 179 characters.
    void gridExportIsTheLineTexts_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("ASCII") << QByteArray("14 Apr 2010,09:05:07.000,65.3\r\nb,,c\r\n");
        QTest::newRow("beyond ASCII")
            << QByteArray("14.04.2010,09:05:07.0,65\xC2\xA0\r\n\xC3\xA9t\xC3\xA9,\xE2\x80\x83,"
                          "\xF0\x9F\x94\x8A\r\n");
        QTest::newRow("byte order mark inside, no UTF-8")
            << QByteArray("a,b\r\n\xEF\xBB\xBFx,y\r\n\xFF\xFE,\xC3\r\n");
        QTest::newRow("long line")
            << "a," + QByteArray(100, 'x') + "\xC3\xA4" + QByteArray(200, 'y') + ",z\r\n";
    }

    void gridExportIsTheLineTexts()
    {
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        const QString source = dir.filePath("source.csv");
        QFile out(source);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
        out.close();
        TabularTable table;
        QVERIFY(TextImport::read(source, ',', table).lines > 0);
        for (const QChar separator : {QLatin1Char('\t'), QLatin1Char(',')}) {
            QByteArray expected;
            for (int row = 1; row <= table.dataRowCount(); ++row)
                expected += GridExport::line(table, row, separator).toUtf8() + "\r\n";
            const QString path = dir.filePath("saved.txt");
            QVERIFY(
                GridExport::write(path, table, ExportRange::all(table.dataRowCount()), separator)
                    .written());
            QCOMPARE(fileBytes(path), expected);
        }
    }

    void gridExportRange()
    {
        QTemporaryDir dir;
        TabularTable table;
        for (int i = 1; i <= 5; ++i)
            table.appendRow({QString::number(i * 10), "t"});
        const QString path = dir.filePath("r.txt");
        QVERIFY(GridExport::write(path, table, ExportRange{2, 3}, '\t').written());
        QCOMPARE(fileBytes(path), QByteArray("20\tt\t\t\t\t\t\r\n30\tt\t\t\t\t\t\r\n"));
    }

    void cancelOrFailureKeepsTheEarlierFile()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, "keep.txt", "earlier\r\n");
        TabularTable table;
        table.appendRow({"1", "2"});
        table.appendRow({"3", "4"});
        const FileWriteOutcome cancelled = GridExport::write(path, table, ExportRange::all(2), '\t',
                                                             [](int lines) { return lines < 1; });
        QCOMPARE(cancelled.kind, FileWriteOutcome::Cancelled);
        QCOMPARE(fileBytes(path), QByteArray("earlier\r\n"));

        const FileWriteOutcome failed =
            GridExport::write(dir.filePath("no/such/dir/x.txt"), table, ExportRange::all(2), '\t');
        QCOMPARE(failed.kind, FileWriteOutcome::Failed);
        QVERIFY(!failed.error.isEmpty());
    }

    void savedAsCsvAndOpenedAgain_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QTest::newRow("CSV of a graph export")
            << QByteArray("14 Apr 2010,09:05:07.0,65.3\r\n14 Apr 2010,09:05:07.5,66.1\r\n"
                          "14 Apr 2010,09:05:08.500,120.0\r\n")
            << "back.csv";
        QTest::newRow("six fields and empty ones")
            << QByteArray("a,,c,d,e,f\r\n,b,,,,\r\n") << "back.CSV";
        QTest::newRow("TXT with decimal commas")
            << QByteArray("14.04.2010\t09:05:07.0\t65,3\r\n") << "back.txt";
    }

    void savedAsCsvAndOpenedAgain()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QChar separator = GridExport::separatorForFileName(name);
        TabularTable first;
        (void)TextImport::read(writeFile(dir, "first" + name.right(4), content), separator, first);
        const QString saved = dir.filePath(name);
        QVERIFY(GridExport::write(saved, first, ExportRange::all(first.dataRowCount()), separator)
                    .written());
        TabularTable again;
        (void)TextImport::read(saved, *TextImport::separatorForExtension(saved), again);
        QCOMPARE(cellsOf(again), cellsOf(first));
        QVERIFY(first.dataRowCount() >= 1 && !first.cell(1, 0).isEmpty());
    }

    void printoutLines_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("line");
        QTest::newRow("10-character time cell: 14 blanks; line number 1: 18 blanks")
            << QStringList{"14.04.2010", "09:05:07.0", "65.3"}
            << "1" + blanks(18) + "14.04.2010" + "09:05:07.0" + blanks(14) + "65.3" + blanks(12) +
                   blanks(20) + blanks(20);
        QTest::newRow("cells of w characters or more are not padded")
            << QStringList{"0123456789AB", "12345678901234567", "x", "d", "e", "sixth"}
            << "1" + blanks(18) + "0123456789AB" + "12345678901234567" + "x" + blanks(18) + "d" +
                   blanks(18) + "e" + blanks(18);
    }

    void printoutLines()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, line);
        TabularTable table;
        table.appendRow(fields);
        QCOMPARE(GridPrintout::line(table, 1), line);
        QVERIFY(!GridPrintout::line(table, 1).contains("sixth")); // column 6 is never printed
    }

    void emptyListPrintsTwoLines()
    {
        TabularTable table;
        QCOMPARE(table.gridRowCount(), 2);
        QCOMPARE(GridPrintout::line(table, 0), "No" + blanks(16) + "Date" + blanks(12) + "Time" +
                                                   blanks(26) + "Value" + blanks(10) + blanks(20) +
                                                   blanks(20));
        QCOMPARE(GridPrintout::line(table, 1), blanks(20 * 2 + 34 + 20 * 3));
    }

    void printoutPages()
    {
        // 130 rows at 60 lines a page: 60, 60 and 10 lines, each page from y = h.
        const int h = 37;
        const int lines = GridPrintout::linesPerPage(60 * h + h - 1, h);
        QCOMPARE(lines, 60);
        QList<int> perPage(3, 0);
        for (int row = 0; row < 130; ++row) {
            const GridPrintout::Placement at = GridPrintout::place(row, lines, h);
            QVERIFY(at.page < 3);
            if (perPage[at.page]++ == 0)
                QCOMPARE(at.y, h);
            QCOMPARE(at.y, (row % 60) * h + h);
        }
        QCOMPARE(perPage, (QList<int>{60, 60, 10}));
        QCOMPARE(GridPrintout::place(59, lines, h).page, 0);
        QCOMPARE(GridPrintout::place(60, lines, h).page, 1);
        QCOMPARE(GridPrintout::place(120, lines, h).page, 2);
        QCOMPARE(GridPrintout::linesPerPage(10, h), 1); // a page shorter than a line still prints
        QCOMPARE(GridPrintout::fieldWidth(2), 17);
        QCOMPARE(GridPrintout::fieldWidth(5), 10);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestTabularFiles)
#include "tst_tabularfiles.moc"
