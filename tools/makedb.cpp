// Writes the empty installed ledger from the schema: makedb SCHEMA.sql OUT.mdb
#include "core/Database.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s schema.sql ravo.mdb\n", argv[0]);
        return 2;
    }
    QFile schema(QString::fromLocal8Bit(argv[1]));
    if (!schema.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const ravo::DbError e =
        ravo::Database::createFromSchema(QString::fromLocal8Bit(argv[2]), QString::fromUtf8(schema.readAll()));
    if (e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
