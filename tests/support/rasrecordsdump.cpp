// Writes the two phonebook records the connector builds for a server address, as the
// remote-access service is handed them, so that another build's records can be compared with
// them byte for byte: ras-records-dump SERVER ENTRY_FILE CREDENTIALS_FILE.
#include "connection/rasrecords.h"

#include <QFile>

#include <cstdio>

namespace {

bool save(const char* path, const QByteArray& bytes) {
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: ras-records-dump SERVER ENTRY_FILE CREDENTIALS_FILE\n");
        return 2;
    }
    const auto entry = buildRasEntry(QString::fromLocal8Bit(argv[1]));
    if (!entry) {
        std::fprintf(stderr, "ras-records-dump: the address does not fit the record\n");
        return 1;
    }
    return save(argv[2], *entry) && save(argv[3], buildEmptyRasCredentials()) ? 0 : 1;
}
