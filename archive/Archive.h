#pragma once

// The measurement archive: measurements, their samples and the logger memory
// images they came from, in an SQLite file (WAL journal and a busy timeout,
// so that the program and the command line can write to it at once) or in a
// PostgreSQL database, through the same code. All SQL takes the user's texts
// as bound parameters.
//
// A live recording adds its measurement, then appends samples as they come:
// each appendSamples() is committed before it returns, so a caller that
// appends at least once a second loses at most the last second in a crash.
// finish() marks the measurement complete; one never finished stays marked
// unfinished and can still be read.
//
// One Archive belongs to one thread. Failures return false or nullopt and
// leave the text in lastError(), which names the archive and never holds a
// password.

#include "archive/ArchiveLocation.h"
#include "archive/Measurement.h"
#include "archive/SampleChunk.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class Archive;

struct ArchiveOpenResult
{
    std::unique_ptr<Archive> archive; // null when refused
    QString error;                    // why, naming the archive
    bool unreachable = false;         // a server that could not be reached (or logged in to)
};

class Archive
{
public:
    // How long a writer waits for another one before giving up, in ms.
    static constexpr int kBusyTimeoutMs = 30000;

    // Opens an archive, creating an empty SQLite file or an empty database's
    // tables when needed. Refused, and left untouched: a file that is not an
    // SQLite database or is damaged, a database of something else, an
    // archive of a newer schema than this program knows.
    [[nodiscard]] static ArchiveOpenResult open(const ArchiveLocation& location);
    [[nodiscard]] static ArchiveOpenResult open(const QString& locationText);

    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    [[nodiscard]] const ArchiveLocation& location() const { return m_location; }
    [[nodiscard]] QString lastError() const { return m_error; }

    // Several writes committed as one: each write between begin() and
    // commit() joins one transaction, which keeps a store of many pieces
    // (a logger memory of many data sets) to a single sync. A batch not
    // committed, or in which a write failed, leaves nothing behind.
    class WriteBatch
    {
    public:
        explicit WriteBatch(Archive& archive);
        ~WriteBatch();
        WriteBatch(const WriteBatch&) = delete;
        WriteBatch& operator=(const WriteBatch&) = delete;
        // False when the batch could not start.
        [[nodiscard]] bool started() const { return m_started; }
        // False, with lastError(), when a write in it failed or the commit did.
        [[nodiscard]] bool commit();

    private:
        Archive& m_archive;
        bool m_started = false;
        bool m_done = false;
    };
    // The archive still answers: false when a server's connection is gone.
    [[nodiscard]] bool answers();

    // Adds a measurement without samples and returns its id. A measurement
    // of the same key already present is not added again: its id is returned.
    [[nodiscard]] std::optional<qint64> addMeasurement(const Measurement& measurement);

    // Appends points to an unfinished measurement and commits them.
    [[nodiscard]] bool appendSamples(qint64 id, std::span<const double> x,
                                     std::span<const float> y);

    // Marks a measurement complete; its end is set when end is valid.
    [[nodiscard]] bool finish(qint64 id, const QDateTime& end = QDateTime());

    // Newest first.
    [[nodiscard]] std::optional<std::vector<Measurement>>
    listMeasurements(const MeasurementFilter& filter = MeasurementFilter());
    [[nodiscard]] std::optional<Measurement> measurement(qint64 id);
    // The measurements of those keys that the archive holds, in the order of
    // keys; a key it does not hold is left out.
    [[nodiscard]] std::optional<std::vector<Measurement>>
    measurementsWithKeys(const QStringList& keys);

    // All points of a measurement, exactly as they were appended.
    [[nodiscard]] std::optional<ArchiveSeries> readSamples(qint64 id);

    [[nodiscard]] bool updateSiteNotes(qint64 id, const QString& site, const QString& notes);
    // The weighting ("A", "C" or "mixed") of a measurement, for a recording
    // whose weighting changed after it was added.
    [[nodiscard]] bool updateWeighting(qint64 id, const QString& weighting);
    [[nodiscard]] bool deleteMeasurement(qint64 id);

    // Stores a logger memory image once per content (SHA-256) and returns
    // its id; the same bytes again give the same id. The image is kept
    // compressed; memoryImage() gives the raw bytes back (nullopt when the
    // stored ones do not give them).
    [[nodiscard]] std::optional<qint64> storeMemoryImage(const QByteArray& image);
    [[nodiscard]] std::optional<QByteArray> memoryImage(qint64 id);

private:
    // The tail of an unfinished measurement, kept between appends: the last
    // chunk while it is not full is written again with each append.
    struct OpenSeries
    {
        SampleChunk::Grid grid;
        bool hasOrigin = false;
        qint64 tailFirst = 0;
        std::vector<double> tailX;
        std::vector<float> tailY;
        qint64 endUtcMs = 0;
        int utcOffsetSeconds = 0;
    };

    Archive(const ArchiveLocation& location, const QString& connectionName);
    [[nodiscard]] bool connect();
    [[nodiscard]] bool run(class QSqlQuery& query, const QString& sql,
                           std::initializer_list<QVariant> values);
    [[nodiscard]] std::optional<qint64>
    insertUnlessPresent(const QString& insertSql, std::initializer_list<QVariant> values,
                        const QString& selectIdSql, const QVariant& key, const QString& what);
    [[nodiscard]] bool beginWrite();
    [[nodiscard]] bool commit();
    void rollback();
    [[nodiscard]] OpenSeries* openSeries(qint64 id);
    [[nodiscard]] bool writeChunk(qint64 id, const OpenSeries& series);
    bool fail(const QString& what, const class QSqlQuery& query);
    [[nodiscard]] bool isSqlite() const;

    ArchiveLocation m_location;
    QString m_connectionName;
    QSqlDatabase m_db;
    QString m_error;
    std::map<qint64, OpenSeries> m_open;
    // Inside a WriteBatch: writes neither begin nor commit on their own.
    bool m_inBatch = false;
    bool m_batchFailed = false;
};
