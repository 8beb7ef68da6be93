#include "nmsession.h"

#include "hangupsignals.h"
#include "rasdialerrors.h"

#include <systemd/sd-daemon.h>
#include <systemd/sd-login.h>

#include <arpa/inet.h>
#include <chrono>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace rasdial::nm {

std::string loginName() {
    const passwd* user = getpwuid(getuid());
    return user && user->pw_name ? user->pw_name : std::to_string(getuid());
}

const char* entryOf(NMConnection* profile, bool anyOwner) {
    NMSettingUser* tags =
        profile ? NM_SETTING_USER(nm_connection_get_setting(profile, NM_TYPE_SETTING_USER))
                : nullptr;
    if (!tags) return nullptr;
    const char* entry = nm_setting_user_get_data(tags, EntryKey);
    const char* owner = nm_setting_user_get_data(tags, OwnerKey);
    if (!entry || !owner) return nullptr;
    if (anyOwner) return entry;
    // The tag says whose dial it was; the permissions, whom NetworkManager lets see it. Both
    // must name this user alone.
    if (std::to_string(getuid()) != owner) return nullptr;
    NMSettingConnection* general = nm_connection_get_setting_connection(profile);
    const char* type = nullptr;
    const char* user = nullptr;
    if (!general || nm_setting_connection_get_num_permissions(general) != 1 ||
        !nm_setting_connection_get_permission(general, 0, &type, &user, nullptr) ||
        g_strcmp0(type, "user") != 0 || loginName() != (user ? user : ""))
        return nullptr;
    return entry;
}

int codeForError(const char* doing, GError* error) {
    const bool refused =
        g_error_matches(error, NM_MANAGER_ERROR, NM_MANAGER_ERROR_PERMISSION_DENIED) ||
        g_error_matches(error, NM_SETTINGS_ERROR, NM_SETTINGS_ERROR_PERMISSION_DENIED) ||
        g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED);
    note(std::string("NetworkManager ") + (refused ? "refused to " : "could not ") + doing + ": " +
         (error ? error->message : "no answer"));
    return refused ? AccessDenied : TunnelFailed;
}

unsigned tunnelIndex(NMActiveConnection* link) {
    NMIPConfig* ip4 = nm_active_connection_get_ip4_config(link);
    GPtrArray* addresses = ip4 ? nm_ip_config_get_addresses(ip4) : nullptr;
    if (!addresses || !addresses->len) return 0;
    in_addr address{};
    if (inet_pton(AF_INET,
                  nm_ip_address_get_address(static_cast<NMIPAddress*>(addresses->pdata[0])),
                  &address) != 1)
        return 0;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return 0;
    unsigned index = 0;
    for (const ifaddrs* item = all; item && !index; item = item->ifa_next)
        if (item->ifa_addr && item->ifa_addr->sa_family == AF_INET &&
            reinterpret_cast<const sockaddr_in*>(item->ifa_addr)->sin_addr.s_addr == address.s_addr)
            index = if_nametoindex(item->ifa_name);
    freeifaddrs(all);
    return index;
}

bool waitForInterfaces(const std::vector<unsigned>& indexes, int ms, bool onHangUp) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        bool left = false;
        char name[IF_NAMESIZE];
        for (const unsigned index : indexes)
            left |= index && if_indextoname(index, name) != nullptr;
        if (!left) return true;
        if (std::chrono::steady_clock::now() >= deadline || (onHangUp && HangUpSignals::asked()))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

Session::Session() = default;

Session::~Session() {
    // NetworkManager's objects are done with our context once their busy watchers are gone
    // (the client's and the agent's may be one and the same): the loop waits for them.
    loop_.setGone(nullptr);
    if (client_) {
        loop_.keepWatching(nm_client_get_context_busy_watcher(client_));
        g_object_unref(client_);
    }
}

std::unique_ptr<Session> Session::open() {
    std::unique_ptr<Session> session(new Session);
    Request request;
    // Without polkit's answers for every permission, which nothing here reads: each is a
    // question to polkit, and they are most of what a start costs.
    g_async_initable_new_async(NM_TYPE_CLIENT, G_PRIORITY_DEFAULT, request.cancellable(),
                               Request::finished, request.data(), NM_CLIENT_INSTANCE_FLAGS,
                               guint(NM_CLIENT_INSTANCE_FLAGS_NO_AUTO_FETCH_PERMISSIONS), nullptr);
    if (session->loop_.await(request, 5000) != Waited::Done) return nullptr;
    GError* error = nullptr;
    GObject* source = g_async_result_get_source_object(request.result());
    session->client_ =
        NM_CLIENT(g_async_initable_new_finish(G_ASYNC_INITABLE(source), request.result(), &error));
    g_object_unref(source);
    g_clear_error(&error);
    if (!session->client_) return nullptr;
    NMClient* client = session->client_;
    session->loop_.setGone([client] { return !nm_client_get_nm_running(client); });
    return session;
}

Availability Session::availability() const {
    Availability offer;
    offer.running = nm_client_get_nm_running(client_);
    GSList* plugins = nm_vpn_plugin_info_list_load();
    offer.pptpPlugin = nm_vpn_plugin_info_list_find_by_service(plugins, PptpService) != nullptr;
    g_slist_free_full(plugins, g_object_unref);
    offer.primaryConnection = nm_client_get_primary_connection(client_) != nullptr;
    // As NetworkManager asks logind, where logind runs.
    offer.userSession =
        getuid() == 0 || sd_booted() <= 0 || sd_uid_get_sessions(getuid(), 0, nullptr) > 0;
    return offer;
}

std::vector<Ref<NMActiveConnection>> Session::links(const std::string& entry, bool anyOwner) const {
    std::vector<Ref<NMActiveConnection>> found;
    const GPtrArray* active = nm_client_get_active_connections(client_);
    for (guint i = 0; active && i < active->len; ++i) {
        auto* link = static_cast<NMActiveConnection*>(active->pdata[i]);
        const char* ours =
            entryOf(NM_CONNECTION(nm_active_connection_get_connection(link)), anyOwner);
        if (ours && entry == ours &&
            nm_active_connection_get_state(link) <= NM_ACTIVE_CONNECTION_STATE_DEACTIVATING)
            found.emplace_back(link);
    }
    return found;
}

bool Session::isConnected(const std::string& entry) {
    if (!nm_client_get_nm_running(client_)) return false;
    // A link going down (DEACTIVATING) is no link.
    for (const auto& link : links(entry, false))
        if (nm_active_connection_get_state(link.get()) == NM_ACTIVE_CONNECTION_STATE_ACTIVATED)
            return true;
    return false;
}

} // namespace rasdial::nm
