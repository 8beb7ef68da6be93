#include "nmsession.h"

#include "rasdialerrors.h"
#include "reachability.h"
#include "secretagent.h"

#include "libnm.h"
#include <glib-unix.h>
#include <systemd/sd-daemon.h>
#include <systemd/sd-login.h>

#include <algorithm>
#include <csignal>
#include <pwd.h>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace rasdial::nm {

namespace {

void note(const std::string& line) {
    std::fprintf(stderr, "rasdial: %s\n", line.c_str());
}

// How long NetworkManager may take over one request, and over the whole dial: its PPTP plugin
// gives up on a silent PPP peer after about 30 s.
constexpr int RequestMs = 10000;
constexpr int DialMs = 90000;
constexpr int HangUpMs = 3000;

std::string loginName() {
    const passwd* user = getpwuid(getuid());
    return user && user->pw_name ? user->pw_name : std::to_string(getuid());
}

// The entry of one of our profiles, when it is one, and (unless `anyOwner`) this user's.
const char* entryOf(NMConnection* profile, bool anyOwner) {
    NMSettingUser* tags = profile ? NM_SETTING_USER(nm_connection_get_setting(profile, NM_TYPE_SETTING_USER)) : nullptr;
    if (!tags) return nullptr;
    const char* entry = nm_setting_user_get_data(tags, EntryKey);
    const char* owner = nm_setting_user_get_data(tags, OwnerKey);
    if (!entry || !owner) return nullptr;
    if (!anyOwner && std::to_string(getuid()) != owner) return nullptr;
    return entry;
}

// The code for an error of a request to NetworkManager, said as a note.
int codeForError(const char* doing, GError* error) {
    const bool refused = g_error_matches(error, NM_MANAGER_ERROR, NM_MANAGER_ERROR_PERMISSION_DENIED) ||
                         g_error_matches(error, NM_SETTINGS_ERROR, NM_SETTINGS_ERROR_PERMISSION_DENIED) ||
                         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED);
    note(std::string("NetworkManager ") + (refused ? "refused to " : "could not ") + doing +
         ": " + (error ? error->message : "no answer"));
    return refused ? AccessDenied : TunnelFailed;
}

} // namespace

// One asynchronous request: its result once done; cancelled when given up.
struct Session::Call {
    GCancellable* cancellable = g_cancellable_new();
    GAsyncResult* result = nullptr;
    static void finished(GObject*, GAsyncResult* result, gpointer data) {
        static_cast<Call*>(data)->result = G_ASYNC_RESULT(g_object_ref(result));
    }
    ~Call() {
        g_object_unref(cancellable);
        if (result) g_object_unref(result);
    }
};

Session::Session() : context_(g_main_context_new()) {
    // NetworkManager's objects run their callbacks in the context that was the thread's
    // default when they were made: ours, which runs only while we wait.
    g_main_context_push_thread_default(context_);
}

Session::~Session() {
    // NetworkManager's objects are done with our context once their busy watchers are gone
    // (the client's and the agent's may be one and the same).
    if (client_) keepWatching(nm_client_get_context_busy_watcher(client_));
    if (client_) g_object_unref(client_);
    waitUntil([&] { return watchers_.empty() || std::all_of(watchers_.begin(), watchers_.end(), [](const auto& w) { return !*w; }); }, 2000);
    for (const auto& watcher : watchers_)
        if (*watcher) g_object_remove_weak_pointer(*watcher, reinterpret_cast<gpointer*>(watcher.get()));
    g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
}

std::unique_ptr<Session> Session::open() {
    std::unique_ptr<Session> session(new Session);
    Call call;
    // Without polkit's answers for every permission, which nothing here reads: each is a
    // question to polkit, and they are most of what a start costs.
    g_async_initable_new_async(NM_TYPE_CLIENT, G_PRIORITY_DEFAULT, call.cancellable,
                               Call::finished, &call, NM_CLIENT_INSTANCE_FLAGS,
                               guint(NM_CLIENT_INSTANCE_FLAGS_NO_AUTO_FETCH_PERMISSIONS), nullptr);
    GError* error = nullptr;
    if (session->await(call, 5000)) {
        GObject* source = g_async_result_get_source_object(call.result);
        session->client_ = NM_CLIENT(g_async_initable_new_finish(G_ASYNC_INITABLE(source), call.result, &error));
        g_object_unref(source);
    }
    g_clear_error(&error);
    if (!session->client_) return nullptr;
    return session;
}

void Session::keepWatching(GObject* watcher) {
    for (const auto& known : watchers_)
        if (*known == watcher) return;
    watchers_.push_back(std::make_unique<GObject*>(watcher));
    g_object_add_weak_pointer(watcher, reinterpret_cast<gpointer*>(watchers_.back().get()));
}

bool Session::waitUntil(const std::function<bool()>& done, int ms) {
    bool expired = false;
    GSource* timer = g_timeout_source_new(guint(ms));
    g_source_set_callback(
        timer, [](gpointer flag) -> gboolean { return *static_cast<bool*>(flag) = true, G_SOURCE_REMOVE; },
        &expired, nullptr);
    g_source_attach(timer, context_);
    while (!done() && !expired)
        g_main_context_iteration(context_, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
    return done();
}

bool Session::await(Call& call, int ms) {
    if (waitUntil([&] { return call.result != nullptr; }, ms)) return true;
    // Given up: the callback still comes, cancelled, and must find the call alive.
    g_cancellable_cancel(call.cancellable);
    waitUntil([&] { return call.result != nullptr; }, 1000);
    return false;
}

Availability Session::availability() const {
    Availability offer;
    offer.running = nm_client_get_nm_running(client_);
    GSList* plugins = nm_vpn_plugin_info_list_load();
    offer.pptpPlugin = nm_vpn_plugin_info_list_find_by_service(plugins, PptpService) != nullptr;
    g_slist_free_full(plugins, g_object_unref);
    offer.primaryConnection = nm_client_get_primary_connection(client_) != nullptr;
    // As NetworkManager asks logind, where logind runs.
    offer.userSession = getuid() == 0 || sd_booted() <= 0 ||
                        sd_uid_get_sessions(getuid(), 0, nullptr) > 0;
    return offer;
}

std::vector<NMActiveConnection*> Session::activeLinks(const std::string& entry,
                                                     bool anyOwner) const {
    std::vector<NMActiveConnection*> found;
    const GPtrArray* links = nm_client_get_active_connections(client_);
    for (guint i = 0; links && i < links->len; ++i) {
        auto* link = static_cast<NMActiveConnection*>(links->pdata[i]);
        const char* ours = entryOf(NM_CONNECTION(nm_active_connection_get_connection(link)), anyOwner);
        if (ours && entry == ours && nm_active_connection_get_state(link) <= NM_ACTIVE_CONNECTION_STATE_DEACTIVATING)
            found.push_back(link);
    }
    return found;
}

bool Session::remove(NMRemoteConnection* profile) {
    Call call;
    nm_remote_connection_delete_async(profile, call.cancellable, Call::finished, &call);
    GError* error = nullptr;
    const bool deleted = await(call, RequestMs) &&
                         nm_remote_connection_delete_finish(profile, call.result, &error);
    // One that went with its link meanwhile is no fault.
    if (!deleted && nm_client_get_connection_by_path(client_, nm_connection_get_path(NM_CONNECTION(profile))))
        note(std::string("NetworkManager did not remove the profile: ") +
             (error ? error->message : "no answer"));
    g_clear_error(&error);
    return deleted;
}

void Session::removeStaleProfiles() {
    // Profiles of ours that no link uses: left by a tool that was killed while it dialled.
    std::vector<NMRemoteConnection*> stale;
    const GPtrArray* profiles = nm_client_get_connections(client_);
    for (guint i = 0; profiles && i < profiles->len; ++i) {
        auto* profile = static_cast<NMRemoteConnection*>(profiles->pdata[i]);
        const char* entry = entryOf(NM_CONNECTION(profile), false);
        bool inUse = false;
        const GPtrArray* links = nm_client_get_active_connections(client_);
        for (guint j = 0; links && j < links->len; ++j)
            inUse |= nm_active_connection_get_connection(
                         static_cast<NMActiveConnection*>(links->pdata[j])) == profile;
        if (entry && !inUse) stale.push_back(NM_REMOTE_CONNECTION(g_object_ref(profile)));
    }
    for (NMRemoteConnection* profile : stale) {
        remove(profile);
        g_object_unref(profile);
    }
}

bool Session::deactivate(NMActiveConnection* link) {
    g_object_ref(link);
    Call call;
    nm_client_deactivate_connection_async(client_, link, call.cancellable, Call::finished, &call);
    GError* error = nullptr;
    bool done = await(call, RequestMs) &&
                nm_client_deactivate_connection_finish(client_, call.result, &error);
    if (!done) {
        codeForError("hang up", error);
        g_clear_error(&error);
    }
    done = waitUntil([&] { return nm_active_connection_get_state(link) == NM_ACTIVE_CONNECTION_STATE_DEACTIVATED; },
                     HangUpMs) || done;
    g_object_unref(link);
    return done;
}

int Session::dial(const ToolPaths& paths, const LinkRequest& request) {
    for (NMActiveConnection* link : activeLinks(request.entry, false)) {
        if (nm_active_connection_get_state(link) != NM_ACTIVE_CONNECTION_STATE_ACTIVATED)
            return report(AlreadyDialing);
        say("You are already connected to " + request.entry + ".");
        return report(Success);
    }
    removeStaleProfiles();
    std::string gateway;
    if (!resolveServer(request.server, &gateway)) {
        note("the server name " + request.server + " cannot be looked up");
        return report(NameNotResolved);
    }
    say("Connecting to " + request.entry + "...");
    if (paths.knock && knockAt(gateway, paths.pptpPort) != Knock::Answered) {
        note("the server " + request.server + " does not answer on TCP port " +
             std::to_string(paths.pptpPort));
        return report(TunnelFailed);
    }

    // From here a hang-up (`rasdial ENTRY /d`, the connector giving up, ^C) ends the dial:
    // whatever was started is hung up and removed, so that nothing comes up after it.
    std::vector<GSource*> signals;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        GSource* source = g_unix_signal_source_new(signal);
        g_source_set_callback(
            source, [](gpointer flag) -> gboolean { return *static_cast<bool*>(flag) = true, G_SOURCE_CONTINUE; },
            &hangUpAsked_, nullptr);
        g_source_attach(source, context_);
        signals.push_back(source);
    }

    // Our secret agent, registered before the profile is activated.
    Call registration;
    registerAgentAsync("net.miravon.rasdial." + std::to_string(getpid()), registration.cancellable,
                       Call::finished, &registration);
    GError* error = nullptr;
    GObject* agent = nullptr;
    if (await(registration, RequestMs)) {
        GObject* source = g_async_result_get_source_object(registration.result);
        agent = g_async_initable_new_finish(G_ASYNC_INITABLE(source), registration.result, &error);
        g_object_unref(source);
    }
    if (!agent) {
        for (GSource* source : signals) {
            g_source_destroy(source);
            g_source_unref(source);
        }
        return report(hangUpAsked_ ? UserDisconnection
                                   : codeForError("take the dial's password agent", error));
    }
    keepWatching(nm_secret_agent_old_get_context_busy_watcher(NM_SECRET_AGENT_OLD(agent)));

    // The profile: in NetworkManager's memory only, never started by itself.
    LinkRequest owned = request;
    owned.owner = getuid();
    NMConnection* connection = newConnection(owned, profileFor(request, gateway), loginName());
    Call adding;
    nm_client_add_connection2(
        client_, nm_connection_to_dbus(connection, NM_CONNECTION_SERIALIZE_ALL),
        NMSettingsAddConnection2Flags(NM_SETTINGS_ADD_CONNECTION2_FLAG_IN_MEMORY |
                                      NM_SETTINGS_ADD_CONNECTION2_FLAG_BLOCK_AUTOCONNECT),
        nullptr, TRUE, adding.cancellable, Call::finished, &adding);
    g_object_unref(connection);
    NMRemoteConnection* profile =
        await(adding, RequestMs) ? nm_client_add_connection2_finish(client_, adding.result, nullptr, &error)
                                 : nullptr;
    int code = Success;
    if (!profile) {
        code = codeForError("add the profile", error);
    } else if (hangUpAsked_) {
        code = UserDisconnection;
    } else {
        setAgentSecret(nm_connection_get_path(NM_CONNECTION(profile)), request.password);
        Call activation;
        nm_client_activate_connection_async(client_, NM_CONNECTION(profile), nullptr, nullptr,
                                            activation.cancellable, Call::finished, &activation);
        NMActiveConnection* link =
            await(activation, RequestMs)
                ? nm_client_activate_connection_finish(client_, activation.result, &error)
                : nullptr;
        if (!link) {
            code = codeForError("start the link", error);
        } else {
            // From now on the profile goes with the link, whatever becomes of this process.
            Call marking;
            nm_remote_connection_update2(
                profile, nullptr,
                NMSettingsUpdate2Flags(NM_SETTINGS_UPDATE2_FLAG_IN_MEMORY |
                                       NM_SETTINGS_UPDATE2_FLAG_VOLATILE),
                nullptr, marking.cancellable, Call::finished, &marking);
            GError* marked = nullptr;
            if (await(marking, RequestMs)) {
                GVariant* result = nm_remote_connection_update2_finish(profile, marking.result, &marked);
                if (result) g_variant_unref(result);
            }
            if (marked) note(std::string("the profile stays after the link: ") + marked->message);
            g_clear_error(&marked);
            code = watchDial(link, request);
            g_object_unref(link);
        }
    }
    if (profile) {
        if (code != Success) remove(profile);
        g_object_unref(profile);
    }
    g_clear_error(&error);
    for (GSource* source : signals) {
        g_source_destroy(source);
        g_source_unref(source);
    }
    clearAgentSecret();
    nm_secret_agent_old_destroy(NM_SECRET_AGENT_OLD(agent));
    g_object_unref(agent);
    if (code != Success) return report(code);
    say("Successfully connected to " + request.entry + ".");
    return report(Success);
}

int Session::watchDial(NMActiveConnection* link, const LinkRequest& request) {
    struct Watch {
        guint state;
        guint reason;
    } watch{guint(nm_active_connection_get_state(link)),
            guint(nm_active_connection_get_state_reason(link))};
    const gulong changed = g_signal_connect(
        link, "state-changed",
        G_CALLBACK(+[](NMActiveConnection*, guint state, guint reason, gpointer data) {
            auto* watch = static_cast<Watch*>(data);
            watch->state = state;
            watch->reason = reason;
        }),
        &watch);
    const auto settled = [&] {
        return hangUpAsked_ || watch.state == NM_ACTIVE_CONNECTION_STATE_ACTIVATED ||
               watch.state == NM_ACTIVE_CONNECTION_STATE_DEACTIVATED;
    };
    const bool inTime = waitUntil(settled, DialMs);
    int code = Success;
    if (hangUpAsked_ || !inTime) {
        note(hangUpAsked_ ? "hung up while dialling" : "the dial took too long: hanging up");
        deactivate(link);
        code = hangUpAsked_ ? UserDisconnection : TunnelFailed;
    } else if (watch.state != NM_ACTIVE_CONNECTION_STATE_ACTIVATED) {
        note("NetworkManager ended the dial: " + reasonText(watch.reason));
        code = codeForFailure(watch.reason);
    } else {
        // The address the link was given, for whoever reads the notes.
        NMIPConfig* ip4 = nm_active_connection_get_ip4_config(link);
        GPtrArray* addresses = ip4 ? nm_ip_config_get_addresses(ip4) : nullptr;
        if (addresses && addresses->len)
            note(request.entry + " has the address " +
                 nm_ip_address_get_address(static_cast<NMIPAddress*>(addresses->pdata[0])));
    }
    g_signal_handler_disconnect(link, changed);
    return code;
}

std::optional<int> Session::hangUp(const std::string& entry) {
    if (!nm_client_get_nm_running(client_)) return std::nullopt;
    // Root may hang up the entry's link of every user.
    const bool anyOwner = getuid() == 0;
    std::vector<NMActiveConnection*> links = activeLinks(entry, anyOwner);
    bool ended = true;
    for (NMActiveConnection* link : links) {
        g_object_ref(link);
        // Removing the profile takes the link down with it: one request instead of two.
        NMRemoteConnection* profile = nm_active_connection_get_connection(link);
        if (profile) {
            g_object_ref(profile);
            remove(profile);
            g_object_unref(profile);
            ended = waitUntil([&] { return nm_active_connection_get_state(link) == NM_ACTIVE_CONNECTION_STATE_DEACTIVATED; },
                              HangUpMs) && ended;
        } else {
            ended = deactivate(link) && ended;
        }
        g_object_unref(link);
    }
    removeStaleProfiles();
    if (links.empty()) return std::nullopt;
    return report(ended ? Success : TunnelFailed);
}

bool Session::isConnected(const std::string& entry) {
    if (!nm_client_get_nm_running(client_)) return false;
    for (NMActiveConnection* link : activeLinks(entry, false))
        if (nm_active_connection_get_state(link) == NM_ACTIVE_CONNECTION_STATE_ACTIVATED) return true;
    return false;
}

} // namespace rasdial::nm
