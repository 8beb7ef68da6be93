#pragma once

#include "linkrequest.h"
#include "nmprofile.h"
#include "toolpaths.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _GMainContext GMainContext;
typedef struct _GObject GObject;
typedef struct _NMClient NMClient;
typedef struct _NMActiveConnection NMActiveConnection;
typedef struct _NMRemoteConnection NMRemoteConnection;

// The NetworkManager path of the dial tool: NetworkManager owns the link, its PPTP plugin runs
// pppd, and the profile lives in NetworkManager's memory only, owned by the user, for as long
// as the link. No root process of ours takes part.
namespace rasdial::nm {

class Session {
public:
    // A client of NetworkManager for one command; nothing where the system bus cannot be
    // reached within a few seconds.
    static std::unique_ptr<Session> open();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Availability availability() const;

    // Dials the checked request and says the outcome, as the helper does; gives its code.
    int dial(const ToolPaths& paths, const LinkRequest& request);
    // Hangs up the entry's link of this user (root: of every user), also one still being
    // dialled, and says the outcome; nothing when there is none.
    std::optional<int> hangUp(const std::string& entry);
    bool isConnected(const std::string& entry);

private:
    Session();
    struct Call;
    bool await(Call& call, int ms);
    void keepWatching(GObject* watcher);
    bool waitUntil(const std::function<bool()>& done, int ms);
    // The entry's links that are up or on their way, this user's (or every user's).
    std::vector<NMActiveConnection*> activeLinks(const std::string& entry, bool anyOwner) const;
    void removeStaleProfiles();
    bool remove(NMRemoteConnection* profile);
    bool deactivate(NMActiveConnection* link);
    int watchDial(NMActiveConnection* link, const LinkRequest& request);

    GMainContext* context_ = nullptr;
    NMClient* client_ = nullptr;
    // The busy watchers of NetworkManager's objects, nulled as each is finalised.
    std::vector<std::unique_ptr<GObject*>> watchers_;
    bool hangUpAsked_ = false; // by a signal while dialling
};

} // namespace rasdial::nm
