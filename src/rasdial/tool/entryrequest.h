#pragma once

#include "linkrequest.h"
#include "platform/linux/phonebookfile.h"

#include <optional>

namespace rasdial {

// A dial request from a phonebook entry and the credentials; nothing when a field the dial
// needs is missing or holds what the privileged part would refuse anyway.
// The password moves into the request.
std::optional<LinkRequest> dialRequest(const phonebook::Entry& entry, const std::string& user,
                                       Password password);

} // namespace rasdial
