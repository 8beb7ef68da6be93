#pragma once

#include <ctime>
#include <string>

// The maker site's pages, in UTF-8 unless a function says otherwise.
namespace pages {

extern const char* const home;
extern const char* const bulletin;
extern const char* const navigation;
extern const char* const forum;
extern const char* const guestbook;

// The server list as the maker publishes it: CR LF line ends, names in Chinese, one server of
// each account kind. The marker servers' password pages are on siteAddress.
std::string serverList(const std::string& siteAddress);

// The password of a marker account for the hour that `now` falls in: four letters and
// digits that change every hour.
std::string hourlyPassword(const std::string& marker, std::time_t now);

// A password page: the marker, 84 characters, then the four-character password.
std::string passwordPage(const std::string& marker, const std::string& password);

// The lookup page, which puts the caller's address between "[" and "]".
std::string lookupPage(const std::string& callerAddress);

// UTF-8 text in GBK, as Chinese sites of the time served it; the text unchanged if the
// system cannot convert it.
std::string toGbk(const std::string& utf8);

} // namespace pages
