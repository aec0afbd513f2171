// Writes a sample ledger: samplegen SCHEMA.sql OUT.mdb [INSTRUMENTS]
// The output file must not exist yet; it is made from the schema and filled
// with a deterministic ledger of the given number of instruments in use.
#include "SampleLedger.h"
#include "core/Database.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s schema.sql out.mdb [instruments=500]\n", argv[0]);
        return 2;
    }
    QFile schema(QString::fromLocal8Bit(argv[1]));
    if (!schema.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (ravo::DbError e = ravo::Database::createFromSchema(out, QString::fromUtf8(schema.readAll()))) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    ravo::sample::SampleSize size;
    if (argc == 4)
        size.inUse = QByteArray(argv[3]).toInt();
    ravo::sample::SampleCounts counts;
    const QString failure = ravo::sample::fillSampleLedger(out, size, QDate::currentDate(), 20261207, &counts);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        QFile::remove(out);
        return 1;
    }
    std::printf("%d in use, %d sealed, %d scrapped, %d in stock, %d confirmations, %d repairs, %d readings\n",
                counts.inUse, counts.sealed, counts.scrapped, counts.stock, counts.confirmations, counts.repairs,
                counts.readings);
    return 0;
}
