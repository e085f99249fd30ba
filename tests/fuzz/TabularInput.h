#pragma once

// The text and CSV import as the list window's Open does it, shared by the
// import and conversion fuzz targets. The input's first byte chooses the
// separator (bit 0: TAB for ".txt", else comma for ".csv") and the user's
// locale (bits 1-2); the rest is the file.

#include "FuzzInput.h"

#include "files/formats/TabularTable.h"
#include "files/formats/TextImport.h"

#include <QLocale>

namespace TabularInput {

struct Imported
{
    QLocale locale;
    TextImport::Outcome outcome;
};

inline Imported import(const std::uint8_t* data, std::size_t size, TabularTable& table)
{
    static const FuzzInput::ScratchFile file(QStringLiteral("list.txt"));
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::Chinese, QLocale::Taiwan)};
    FuzzInput::Reader input(data, size);
    const std::uint8_t mode = input.byte();
    const QChar separator = (mode & 1) ? QChar('\t') : QChar(',');
    file.write(input.rest());

    Imported imported{locales[(mode >> 1) & 3], {}};
    imported.outcome = TextImport::read(file.path(), separator, table);
    FuzzInput::require(imported.outcome.opened && !imported.outcome.cancelled,
                       "the scratch file was not imported");
    FuzzInput::require(table.dataRowCount() == std::max(1, imported.outcome.lines),
                       "a table of other rows than the lines read");
    return imported;
}

} // namespace TabularInput
