// Ending links through NetworkManager: `rasdial ENTRY /d`, a dial's own link given up, and
// profiles of ours that no link uses (left by versions of the tool that made profiles that
// outlive their link).
#include "nmsession.h"

#include "rasdialerrors.h"

#include <unistd.h>

namespace rasdial::nm {

namespace {

// How long NetworkManager may take to answer a hang-up, and to end a link once asked (its
// dispatcher's pre-down scripts run first), and how long pppd may take after that: the PPTP
// plugin gives it 2 s after SIGTERM before it kills it.
constexpr int RequestMs = 10000;
constexpr int HangUpMs = 10000;
constexpr int PppdEndMs = 3000;

bool ended(NMClient* client, NMActiveConnection* link) {
    if (nm_active_connection_get_state(link) == NM_ACTIVE_CONNECTION_STATE_DEACTIVATED) return true;
    // Gone from NetworkManager's list (its last state may never reach us).
    const GPtrArray* active = nm_client_get_active_connections(client);
    for (guint i = 0; active && i < active->len; ++i)
        if (active->pdata[i] == link) return false;
    return true;
}

} // namespace

bool Session::endLinks(const std::vector<Ref<NMActiveConnection>>& links) {
    // Every request first, then one wait for them all; `links` holds each for the whole time.
    std::vector<unsigned> interfaces;
    for (const auto& link : links)
        interfaces.push_back(tunnelIndex(link.get()));
    std::vector<std::unique_ptr<Request>> requests;
    for (const auto& link : links) {
        if (ended(client_, link.get()) ||
            nm_active_connection_get_state(link.get()) == NM_ACTIVE_CONNECTION_STATE_DEACTIVATING)
            continue;
        requests.push_back(std::make_unique<Request>());
        nm_client_deactivate_connection_async(client_, link.get(), requests.back()->cancellable(),
                                              Request::finished, requests.back()->data());
    }
    bool refused = false;
    for (const auto& request : requests) {
        if (loop_.await(*request, RequestMs, Loop::Ends::NotOnHangUp) != Waited::Done) continue;
        GError* error = nullptr;
        if (!nm_client_deactivate_connection_finish(client_, request->result(), &error) &&
            !g_error_matches(error, NM_MANAGER_ERROR, NM_MANAGER_ERROR_CONNECTION_NOT_ACTIVE)) {
            codeForError("hang up", error);
            refused = true;
        }
        g_clear_error(&error);
    }
    const auto allEnded = [&] {
        for (const auto& link : links)
            if (!ended(client_, link.get())) return false;
        return true;
    };
    // The profiles, volatile, go with their links: the wait is for both, so that whoever
    // looks next finds neither.
    const auto allGone = [&] {
        if (!allEnded()) return false;
        for (const auto& link : links)
            if (NMRemoteConnection* profile = nm_active_connection_get_connection(link.get()))
                if (nm_client_get_connection_by_uuid(
                        client_, nm_connection_get_uuid(NM_CONNECTION(profile))))
                    return false;
        return true;
    };
    const bool done = loop_.waitUntil(allEnded, HangUpMs, Loop::Ends::NotOnHangUp) == Waited::Done;
    if (done) {
        loop_.waitUntil(allGone, 1000, Loop::Ends::NotOnHangUp);
        // pppd, and pptp's call with it, end after NetworkManager's link: nothing of the link
        // stays behind the hang-up that a dial right after it could run into.
        if (!waitForInterfaces(interfaces, PppdEndMs))
            note("pppd did not end within " + std::to_string(PppdEndMs / 1000) +
                 " s of the hang-up");
    }
    return done && !refused;
}

void Session::endProfile(const std::string& uuid) {
    // What a request given up may have made, found by the profile's UUID.
    NMRemoteConnection* profile = nm_client_get_connection_by_uuid(client_, uuid.c_str());
    if (!profile) return;
    std::vector<Ref<NMActiveConnection>> links;
    const GPtrArray* active = nm_client_get_active_connections(client_);
    for (guint i = 0; active && i < active->len; ++i) {
        auto* link = static_cast<NMActiveConnection*>(active->pdata[i]);
        if (nm_active_connection_get_connection(link) == profile) links.emplace_back(link);
    }
    if (!links.empty()) {
        endLinks(links);
        return;
    }
    const Ref<NMRemoteConnection> held(profile);
    Request removal;
    nm_remote_connection_delete_async(profile, removal.cancellable(), Request::finished,
                                      removal.data());
    loop_.await(removal, RequestMs, Loop::Ends::NotOnHangUp);
}

void Session::removeLeftovers() {
    // Only profiles that are certainly ours and this user's (tags and permissions), that no
    // link uses and that NetworkManager would not remove by itself: the profiles this tool
    // makes now are volatile, so that another rasdial's profile, which may not have its link
    // yet, is never touched.
    std::vector<Ref<NMRemoteConnection>> stale;
    const GPtrArray* profiles = nm_client_get_connections(client_);
    for (guint i = 0; profiles && i < profiles->len; ++i) {
        auto* profile = static_cast<NMRemoteConnection*>(profiles->pdata[i]);
        if (!entryOf(NM_CONNECTION(profile), false) ||
            (nm_remote_connection_get_flags(profile) & NM_SETTINGS_CONNECTION_FLAG_VOLATILE))
            continue;
        bool inUse = false;
        const GPtrArray* active = nm_client_get_active_connections(client_);
        for (guint j = 0; active && j < active->len; ++j)
            inUse |= nm_active_connection_get_connection(
                         static_cast<NMActiveConnection*>(active->pdata[j])) == profile;
        if (!inUse) stale.emplace_back(profile);
    }
    std::vector<std::unique_ptr<Request>> removals;
    for (const auto& profile : stale) {
        removals.push_back(std::make_unique<Request>());
        nm_remote_connection_delete_async(profile.get(), removals.back()->cancellable(),
                                          Request::finished, removals.back()->data());
    }
    for (const auto& removal : removals)
        loop_.await(*removal, RequestMs, Loop::Ends::NotOnHangUp);
}

std::optional<int> Session::hangUp(const std::string& entry) {
    if (!nm_client_get_nm_running(client_)) return std::nullopt;
    // Root may hang up the entry's link of every user. Every link is held until the end.
    const auto found = links(entry, getuid() == 0);
    const bool ended = endLinks(found);
    removeLeftovers();
    if (found.empty()) return std::nullopt;
    return report(ended ? Success : TunnelFailed);
}

} // namespace rasdial::nm
