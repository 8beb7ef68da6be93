#include "platform/instancename.h"

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <vector>

namespace {

// The user's SID as text ("S-1-5-21-..."); empty when the process token does not tell.
QString userSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    QString sid;
    wchar_t* text = nullptr;
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = QString::fromWCharArray(text);
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

} // namespace

QString defaultInstanceName() {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    QString user = userSid();
    if (user.isEmpty()) user = qEnvironmentVariable("USERNAME");
    return QStringLiteral("miravon-vpn-%1-%2").arg(user).arg(session);
}
