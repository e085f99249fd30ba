#pragma once

// The command line's words for where a logger load failed: which data set is
// damaged and where its record starts, and how far the transfer had got when
// the meter's port went away. Numbers follow the default locale.

#include "logger/LoadResult.h"

#include <QString>

struct DecodeErrorPosition;
struct TransferReport;

namespace LoadFailureNotes {
// Where the logger memory came from, for the words of a failed load.
enum class MemorySource
{
    File,
    Meter
};
// Why a load or a decode failed, as a sentence without the program's name:
// "the file holds no data sets", "the meter did not acknowledge the start
// of the transfer". Empty for LoadResult::Ok.
[[nodiscard]] QString loadFailure(LoadResult result, MemorySource source);

// "data set 2 is damaged: its record starts at byte 1235 (0x4D3) of the
// logger memory"; sets are numbered from 1, as `sets` lists them.
[[nodiscard]] QString damagedSet(const DecodeErrorPosition& position);
// "the meter's port went away at block 11 of 16": the block being waited
// for, of the whole transfer's 64-byte blocks.
[[nodiscard]] QString portWentAway(const TransferReport& transfer);
} // namespace LoadFailureNotes
