#pragma once

#include <array>
#include <cstdint>

// The remote-access records as the system publishes them: RASENTRYA in its Windows XP layout
// (2884 bytes) and RASCREDENTIALSA (540 bytes). Only the fields the connector sets are named;
// every other byte of a record is zero.
namespace ras {

constexpr int EntrySize = 2884;
constexpr int CredentialsSize = 540;

enum class FieldKind { Number, Flags, Text };

struct Field {
    const char* name;
    int offset;
    int size; // bytes; numbers are 4-byte little-endian, texts NUL-terminated ANSI
    FieldKind kind;
};

constexpr Field dwSize{"dwSize", 0, 4, FieldKind::Number};
constexpr Field dwfOptions{"dwfOptions", 4, 4, FieldKind::Flags};
constexpr Field dwCountryID{"dwCountryID", 8, 4, FieldKind::Number};
constexpr Field dwCountryCode{"dwCountryCode", 12, 4, FieldKind::Number};
constexpr Field szLocalPhoneNumber{"szLocalPhoneNumber", 27, 129, FieldKind::Text};
constexpr Field dwfNetProtocols{"dwfNetProtocols", 184, 4, FieldKind::Flags};
constexpr Field dwFramingProtocol{"dwFramingProtocol", 188, 4, FieldKind::Number};
constexpr Field szDeviceType{"szDeviceType", 972, 17, FieldKind::Text};
constexpr Field szDeviceName{"szDeviceName", 989, 129, FieldKind::Text};
constexpr Field dwDialMode{"dwDialMode", 1772, 4, FieldKind::Number};
constexpr Field dwDialExtraPercent{"dwDialExtraPercent", 1776, 4, FieldKind::Number};
constexpr Field dwDialExtraSampleSeconds{"dwDialExtraSampleSeconds", 1780, 4, FieldKind::Number};
constexpr Field dwHangUpExtraPercent{"dwHangUpExtraPercent", 1784, 4, FieldKind::Number};
constexpr Field dwHangUpExtraSampleSeconds{"dwHangUpExtraSampleSeconds", 1788, 4,
                                           FieldKind::Number};
constexpr Field dwType{"dwType", 1796, 4, FieldKind::Number};
constexpr Field dwEncryptionType{"dwEncryptionType", 1800, 4, FieldKind::Number};
constexpr Field dwVpnStrategy{"dwVpnStrategy", 2084, 4, FieldKind::Number};
constexpr Field dwfOptions2{"dwfOptions2", 2088, 4, FieldKind::Flags};
constexpr Field dwRedialCount{"dwRedialCount", 2876, 4, FieldKind::Number};
constexpr Field dwRedialPause{"dwRedialPause", 2880, 4, FieldKind::Number};

// The entry fields the connector sets, in record order.
constexpr std::array<Field, 20> EntryFields{dwSize,
                                            dwfOptions,
                                            dwCountryID,
                                            dwCountryCode,
                                            szLocalPhoneNumber,
                                            dwfNetProtocols,
                                            dwFramingProtocol,
                                            szDeviceType,
                                            szDeviceName,
                                            dwDialMode,
                                            dwDialExtraPercent,
                                            dwDialExtraSampleSeconds,
                                            dwHangUpExtraPercent,
                                            dwHangUpExtraSampleSeconds,
                                            dwType,
                                            dwEncryptionType,
                                            dwVpnStrategy,
                                            dwfOptions2,
                                            dwRedialCount,
                                            dwRedialPause};

namespace credentials {
constexpr Field dwSize{"dwSize", 0, 4, FieldKind::Number};
constexpr Field dwMask{"dwMask", 4, 4, FieldKind::Flags};
constexpr Field szUserName{"szUserName", 8, 257, FieldKind::Text};
constexpr Field szPassword{"szPassword", 265, 257, FieldKind::Text};
constexpr Field szDomain{"szDomain", 522, 16, FieldKind::Text};
} // namespace credentials

constexpr std::array<Field, 5> CredentialFields{credentials::dwSize, credentials::dwMask,
                                                credentials::szUserName, credentials::szPassword,
                                                credentials::szDomain};

// Option bits the dial tool reads back from an entry.
constexpr std::uint32_t RASEO_RemoteDefaultGateway = 0x10;
constexpr std::uint32_t RASEO_SwCompression = 0x200;
constexpr std::uint32_t RASEO_RequirePAP = 0x40000;
constexpr std::uint32_t RASEO_RequireSPAP = 0x80000;
constexpr std::uint32_t RASEO_RequireCHAP = 0x8000000;
constexpr std::uint32_t RASEO_RequireMsCHAP = 0x10000000;
constexpr std::uint32_t RASEO_RequireMsCHAP2 = 0x20000000;
constexpr std::uint32_t RASNP_Ip = 0x4;
constexpr std::uint32_t RASET_Vpn = 2;
constexpr std::uint32_t ET_None = 0, ET_Require = 1, ET_RequireMax = 2, ET_Optional = 3;

} // namespace ras
