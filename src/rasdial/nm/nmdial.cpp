// A dial through NetworkManager: the entry's earlier link, the server looked up and knocked
// at, the password agent, one request that adds the profile and activates it, and the wait
// until the link is up or NetworkManager gives a reason why not.
#include "nmsession.h"

#include "hangupsignals.h"
#include "nmoutcome.h"
#include "rasdialerrors.h"
#include "reachability.h"
#include "secretagent.h"

#include <algorithm>
#include <chrono>
#include <unistd.h>

namespace rasdial::nm {

namespace {

// How long NetworkManager may take over one request (polkit answers within it: slowly on a
// loaded machine), over the whole dial (its PPTP plugin gives up on a silent PPP peer after
// about 30 s), and how long an earlier link of the entry may take to go down.
constexpr int RequestMs = 10000;
constexpr int AddAndActivateMs = 25000;
constexpr int DialMs = 90000;
constexpr int PreviousLinkMs = 15000;

bool goingDown(NMActiveConnection* link) {
    return nm_active_connection_get_state(link) == NM_ACTIVE_CONNECTION_STATE_DEACTIVATING;
}

} // namespace

std::optional<int> Session::previousLink(const std::string& entry) {
    std::vector<Ref<NMActiveConnection>> going;
    std::vector<unsigned> interfaces;
    for (auto& link : links(entry, false)) {
        switch (nm_active_connection_get_state(link.get())) {
        case NM_ACTIVE_CONNECTION_STATE_ACTIVATED:
            say("You are already connected to " + entry + ".");
            return Success;
        case NM_ACTIVE_CONNECTION_STATE_DEACTIVATING:
            going.push_back(link);
            interfaces.push_back(tunnelIndex(link.get()));
            break;
        default:
            return AlreadyDialing;
        }
    }
    if (going.empty()) return std::nullopt;
    // The entry's link is going down (a hang-up just now): not a link, and nothing that is
    // being dialled either. The dial waits for it to be gone, its pppd included, then dials.
    note("the entry's previous link is going down: waiting for it");
    const auto started = std::chrono::steady_clock::now();
    const auto gone = [&] {
        for (const auto& link : going)
            if (goingDown(link.get())) return false;
        return true;
    };
    switch (loop_.waitUntil(gone, PreviousLinkMs)) {
    case Waited::Done: {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
        if (waitForInterfaces(interfaces, std::max(0, PreviousLinkMs - int(spent.count())), true))
            return previousLink(entry);
        if (HangUpSignals::asked()) return UserDisconnection;
        break;
    }
    case Waited::HungUp:
        return UserDisconnection;
    case Waited::Gone:
        note("NetworkManager stopped");
        return TunnelFailed;
    case Waited::Expired:
        break;
    }
    note("the entry's previous link did not go down within " +
         std::to_string(PreviousLinkMs / 1000) + " s");
    return TunnelFailed;
}

Ref<GObject> Session::registerAgent(int* code) {
    Request registration;
    registerAgentAsync("net.miravon.rasdial." + std::to_string(getpid()),
                       registration.cancellable(), Request::finished, registration.data());
    GError* error = nullptr;
    Ref<GObject> agent;
    switch (loop_.await(registration, RequestMs)) {
    case Waited::Done: {
        GObject* source = g_async_result_get_source_object(registration.result());
        agent = Ref<GObject>::adopt(
            g_async_initable_new_finish(G_ASYNC_INITABLE(source), registration.result(), &error));
        g_object_unref(source);
        if (!agent) *code = codeForError("take the dial's password agent", error);
        break;
    }
    case Waited::HungUp:
        *code = UserDisconnection;
        break;
    case Waited::Gone:
        note("NetworkManager stopped");
        *code = TunnelFailed;
        break;
    case Waited::Expired:
        *code = codeForError("take the dial's password agent", nullptr);
        break;
    }
    g_clear_error(&error);
    return agent;
}

int Session::dial(const ToolPaths& paths, LinkRequest& request) {
    struct Wipe {
        Password& password;
        ~Wipe() { password.wipe(); }
    } wipe{request.password};
    if (const auto code = previousLink(request.entry)) return report(*code);
    // Each step below that waits ends at once on a hang-up (HangUpSignals::fd()).
    std::string gateway;
    switch (resolveServer(request.server, &gateway, HangUpSignals::fd())) {
    case Lookup::Found:
        break;
    case Lookup::Cancelled:
        return report(UserDisconnection);
    case Lookup::NotFound:
        note("the server name " + request.server + " cannot be looked up");
        return report(NameNotResolved);
    }
    say("Connecting to " + request.entry + "...");
    if (paths.knock) {
        switch (knockAt(gateway, paths.pptpPort, HangUpSignals::fd())) {
        case Knock::Answered:
            break;
        case Knock::Cancelled:
            return report(UserDisconnection);
        case Knock::Silent:
            note("the server " + request.server + " does not answer on TCP port " +
                 std::to_string(paths.pptpPort));
            return report(TunnelFailed);
        }
    }

    // Our secret agent, registered before the profile exists.
    int code = Success;
    const Ref<GObject> agent = registerAgent(&code);
    if (!agent) return report(code);
    loop_.keepWatching(
        nm_secret_agent_old_get_context_busy_watcher(NM_SECRET_AGENT_OLD(agent.get())));
    code = addAndActivate(request, gateway);
    clearAgentSecret();
    nm_secret_agent_old_destroy(NM_SECRET_AGENT_OLD(agent.get()));
    if (code != Success) return report(code);
    say("Successfully connected to " + request.entry + ".");
    return report(Success);
}

int Session::addAndActivate(LinkRequest& request, const std::string& gateway) {
    // The profile: NetworkManager's in memory only, never started by itself, and volatile: it
    // goes with its link, or with the activation that fails, whatever becomes of this process.
    request.owner = getuid();
    const Ref<NMConnection> connection =
        Ref<NMConnection>::adopt(newConnection(request, profileFor(request, gateway), loginName()));
    const std::string uuid = nm_connection_get_uuid(connection.get());
    // The agent answers for this profile only, by the UUID it will have, from the password's
    // one buffer.
    setAgentSecret(uuid, &request.password);
    if (HangUpSignals::asked()) return UserDisconnection; // nothing asked of NetworkManager yet

    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "persist", g_variant_new_string("volatile"));
    // The link stays when the tool, its caller, ends.
    g_variant_builder_add(&options, "{sv}", "bind-activation", g_variant_new_string("none"));
    Request adding;
    nm_client_add_and_activate_connection2(client_, connection.get(), nullptr, nullptr,
                                           g_variant_builder_end(&options), adding.cancellable(),
                                           Request::finished, adding.data());
    Waited waited = loop_.await(adding, AddAndActivateMs);
    if (waited == Waited::HungUp) {
        // Asked while NetworkManager had the request: nothing more for it from our agent, and
        // what it started is hung up once its answer says what that is.
        note("hung up while dialling");
        clearAgentSecret();
        waited = loop_.await(adding, AddAndActivateMs, Loop::Ends::NotOnHangUp);
        if (waited == Waited::Done) {
            NMActiveConnection* link = nm_client_add_and_activate_connection2_finish(
                client_, adding.result(), nullptr, nullptr);
            if (link) {
                endLinks({Ref<NMActiveConnection>::adopt(link)});
                return UserDisconnection;
            }
        }
        endProfile(uuid);
        return UserDisconnection;
    }
    if (waited == Waited::Gone) {
        note("NetworkManager stopped during the dial");
        return TunnelFailed;
    }
    GError* error = nullptr;
    Ref<NMActiveConnection> link;
    if (waited == Waited::Done)
        link = Ref<NMActiveConnection>::adopt(nm_client_add_and_activate_connection2_finish(
            client_, adding.result(), nullptr, &error));
    if (!link) {
        clearAgentSecret();
        const int code = codeForError("start the link", error);
        g_clear_error(&error);
        // A request given up may still be carried out: whatever it made goes.
        if (waited == Waited::Expired) endProfile(uuid);
        return code;
    }
    return watchDial(link.get(), request);
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
        return watch.state == NM_ACTIVE_CONNECTION_STATE_ACTIVATED ||
               watch.state == NM_ACTIVE_CONNECTION_STATE_DEACTIVATED;
    };
    const Waited waited = loop_.waitUntil(settled, DialMs);
    g_signal_handler_disconnect(link, changed);
    switch (waited) {
    case Waited::HungUp:
    case Waited::Expired:
        note(waited == Waited::HungUp ? "hung up while dialling"
                                      : "the dial took too long: hanging up");
        clearAgentSecret();
        endLinks({Ref<NMActiveConnection>(link)});
        return waited == Waited::HungUp ? UserDisconnection : TunnelFailed;
    case Waited::Gone:
        // Its PPTP plugin ends pppd when NetworkManager leaves the bus; the profile, volatile,
        // goes when NetworkManager comes back.
        note("NetworkManager stopped during the dial");
        return TunnelFailed;
    case Waited::Done:
        break;
    }
    if (watch.state != NM_ACTIVE_CONNECTION_STATE_ACTIVATED) {
        note("NetworkManager ended the dial: " + reasonText(watch.reason));
        return codeForFailure(watch.reason);
    }
    // The address the link was given, for whoever reads the notes.
    NMIPConfig* ip4 = nm_active_connection_get_ip4_config(link);
    GPtrArray* addresses = ip4 ? nm_ip_config_get_addresses(ip4) : nullptr;
    if (addresses && addresses->len)
        note(request.entry + " has the address " +
             nm_ip_address_get_address(static_cast<NMIPAddress*>(addresses->pdata[0])));
    return Success;
}

} // namespace rasdial::nm
