#include "rasrecords.h"

#include "platform/ansi.h"
#include "platform/raslayout.h"

#include <QtEndian>
#include <cstring>

namespace {

void put(QByteArray& record, const ras::Field& field, quint32 value) {
    qToLittleEndian(value, record.data() + field.offset);
}

// The whole ANSI form of the text with its NUL; false when it does not fit.
bool put(QByteArray& record, const ras::Field& field, const QString& text) {
    const QByteArray ansi = toAnsi(text);
    if (ansi.size() > field.size - 1) return false;
    std::memcpy(record.data() + field.offset, ansi.constData(), size_t(ansi.size()));
    return true;
}

} // namespace

std::optional<QByteArray> buildRasEntry(const QString& serverAddress) {
    using namespace ras;
    QByteArray entry(EntrySize, '\0');
    put(entry, dwSize, EntrySize);
    put(entry, dwfOptions, 0x3D0D0310);
    put(entry, dwCountryID, 86);
    put(entry, dwCountryCode, 86);
    put(entry, dwfNetProtocols, RASNP_Ip);
    put(entry, dwFramingProtocol, 1); // PPP
    put(entry, dwDialMode, 1);        // dial all
    put(entry, dwDialExtraPercent, 75);
    put(entry, dwDialExtraSampleSeconds, 120);
    put(entry, dwHangUpExtraPercent, 10);
    put(entry, dwHangUpExtraSampleSeconds, 120);
    put(entry, dwType, RASET_Vpn);
    put(entry, dwEncryptionType, ET_Optional);
    put(entry, dwVpnStrategy, 0); // default
    put(entry, dwfOptions2, 0x16F);
    put(entry, dwRedialCount, 3);
    put(entry, dwRedialPause, 60);
    put(entry, szDeviceName, QStringLiteral("WAN 微型端口 (PPTP)"));
    put(entry, szDeviceType, QStringLiteral("vpn"));
    if (!put(entry, szLocalPhoneNumber, serverAddress)) return std::nullopt;
    return entry;
}

QByteArray buildEmptyRasCredentials() {
    QByteArray credentials(ras::CredentialsSize, '\0');
    put(credentials, ras::credentials::dwSize, ras::CredentialsSize);
    put(credentials, ras::credentials::dwMask, 0xB); // user name, password, default creds
    return credentials;
}
