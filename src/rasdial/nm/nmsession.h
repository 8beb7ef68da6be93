#pragma once

#include "linkrequest.h"
#include "nmloop.h"
#include "nmprofile.h"
#include "toolpaths.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The NetworkManager path of the dial tool: NetworkManager owns the link, its PPTP plugin runs
// pppd, and the profile lives in NetworkManager's memory only, owned by the user, for as long
// as the link (a volatile profile). No root process of ours takes part.
//
//   nmsession.cpp  the client: opening it, what NetworkManager offers, the entry's links
//   nmdial.cpp     a dial: the agent, one request that adds and activates, the wait for it
//   nmhangup.cpp   ending links: a hang-up, a dial's own link given up, leftovers
namespace rasdial::nm {

class Session {
public:
    // A client of NetworkManager for one command; nothing where the system bus cannot be
    // reached within a few seconds (or a hang-up was asked for meanwhile).
    static std::unique_ptr<Session> open();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Availability availability() const;

    // Dials the checked request and says the outcome, as the helper does; gives its code.
    // While a HangUpSignals lives, a hang-up ends the dial at whichever step it is in. The
    // request's password is wiped once the dial has ended (NetworkManager has it, or never
    // will).
    int dial(const ToolPaths& paths, LinkRequest& request);
    // Hangs up the entry's link of this user (root: of every user), also one still being
    // dialled, and says the outcome; nothing when there is none.
    std::optional<int> hangUp(const std::string& entry);
    bool isConnected(const std::string& entry);

private:
    Session();
    // The entry's links that are up, on their way or going down, this user's (or every
    // user's); each held for as long as the caller keeps it.
    std::vector<Ref<NMActiveConnection>> links(const std::string& entry, bool anyOwner) const;
    // nmdial.cpp
    std::optional<int> previousLink(const std::string& entry);
    Ref<GObject> registerAgent(int* code);
    int addAndActivate(LinkRequest& request, const std::string& gateway);
    int watchDial(NMActiveConnection* link, const LinkRequest& request);
    // nmhangup.cpp
    bool endLinks(const std::vector<Ref<NMActiveConnection>>& links);
    void endProfile(const std::string& uuid);
    void removeLeftovers();

    Loop loop_;
    NMClient* client_ = nullptr;
};

// This user's login name, as profiles' permissions name users.
std::string loginName();

// Whether the profile is one of ours and this user's: tagged with an entry and this user's
// uid, and for this user alone (connection.permissions). With `anyOwner` (root), any user's.
const char* entryOf(NMConnection* profile, bool anyOwner);

// The code for an error of a request to NetworkManager, said as a note.
int codeForError(const char* doing, GError* error);

// The kernel's index of the link's tunnel interface (its pppN), found by the address
// NetworkManager gave it; 0 when it has none (yet).
unsigned tunnelIndex(NMActiveConnection* link);
// Waits, at most `ms`, until the interfaces are gone. NetworkManager ends a VPN link (DEACTIVATED)
// before its PPTP plugin has ended pppd, and pptp's call with it: a dial to the same server
// meanwhile would share pptp's connection with that call, and both break.
// A hang-up (HangUpSignals) ends the wait too, when `onHangUp`.
bool waitForInterfaces(const std::vector<unsigned>& indexes, int ms, bool onHangUp = false);

} // namespace rasdial::nm
