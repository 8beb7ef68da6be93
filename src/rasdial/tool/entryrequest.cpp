#include "entryrequest.h"

#include "platform/raslayout.h"

namespace rasdial {

std::optional<LinkRequest> dialRequest(const phonebook::Entry& entry, const std::string& user,
                                       Password password) {
    LinkRequest request;
    request.action = RequestAction::Dial;
    request.entry = entry.name.toStdString();
    request.server = entry.value(QLatin1String(ras::szLocalPhoneNumber.name)).toStdString();
    request.user = user;
    request.password = std::move(password);
    struct Number {
        const ras::Field& field;
        std::uint32_t* target;
    };
    for (const Number& number :
         {Number{ras::dwfOptions, &request.options}, Number{ras::dwfOptions2, &request.options2},
          Number{ras::dwfNetProtocols, &request.protocols},
          Number{ras::dwEncryptionType, &request.encryption}, Number{ras::dwType, &request.type},
          Number{ras::dwRedialCount, &request.redialCount},
          Number{ras::dwRedialPause, &request.redialPause}}) {
        const std::string text = entry.value(QLatin1String(number.field.name)).toStdString();
        const auto value =
            number.field.kind == ras::FieldKind::Flags ? parseFlags(text) : parseDecimal(text);
        if (!value) return std::nullopt;
        *number.target = *value;
    }
    if (!requestProblem(request).empty()) return std::nullopt;
    return request;
}

} // namespace rasdial
