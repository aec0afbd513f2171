#pragma once
// A realistic, deterministic sample ledger for demonstrations and speed
// measurements: instruments in use, sealed, scrapped and in stock, their
// confirmation and repair records, and a year of environment readings.
#include <QDate>
#include <QString>

namespace ravo::sample {

struct SampleSize {
    int inUse = 500;
    int sealed() const { return inUse / 20; }
    int scrapped() const { return inUse / 20; }
    int stock() const { return std::max(1, inUse / 50); }
    int confirmationsPerInstrument = 3;
    int repairsEvery = 10; // one repair record per this many instruments
};

struct SampleCounts {
    int inUse = 0, sealed = 0, scrapped = 0, stock = 0, confirmations = 0, repairs = 0, readings = 0;
};

// Fills the empty ledger at path (made from the schema). The same size, seed
// and reference date give the same ledger, row for row. Calibration dates are
// spread so that a few instruments are overdue on the reference date, some
// fall due within 30 days and most later. Returns an empty error text on
// success.
QString fillSampleLedger(const QString& path, const SampleSize& size, const QDate& today, quint32 seed = 20261207,
                         SampleCounts* counts = nullptr);

} // namespace ravo::sample
