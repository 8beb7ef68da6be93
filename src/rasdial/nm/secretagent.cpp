#include "secretagent.h"

#include <cstring>

namespace rasdial::nm {

namespace {

struct Secret {
    std::string path;
    std::string password;
};
Secret secret;

} // namespace

void setAgentSecret(const std::string& path, const std::string& password) {
    secret.path = path;
    secret.password = password;
}

void clearAgentSecret() {
    explicit_bzero(secret.password.data(), secret.password.size());
    secret = {};
}

} // namespace rasdial::nm

extern "C" {

typedef struct {
    NMSecretAgentOld parent;
} RasdialAgent;

typedef struct {
    NMSecretAgentOldClass parent;
} RasdialAgentClass;

G_DEFINE_TYPE(RasdialAgent, rasdial_agent, NM_TYPE_SECRET_AGENT_OLD)

static void rasdial_agent_init(RasdialAgent*) {}

static void get_secrets(NMSecretAgentOld* agent, NMConnection* connection,
                        const char* connection_path, const char* setting_name, const char**,
                        NMSecretAgentGetSecretsFlags, NMSecretAgentOldGetSecretsFunc callback,
                        gpointer data) {
    using rasdial::nm::secret;
    if (secret.path.empty() || g_strcmp0(connection_path, secret.path.c_str()) != 0 ||
        g_strcmp0(setting_name, NM_SETTING_VPN_SETTING_NAME) != 0) {
        GError* error = g_error_new_literal(NM_SECRET_AGENT_ERROR, NM_SECRET_AGENT_ERROR_NO_SECRETS,
                                            "not the profile of this dial");
        callback(agent, connection, nullptr, error, data);
        g_error_free(error);
        return;
    }
    // {"vpn": {"secrets": {"password": ...}}}. NetworkManager itself takes a not-saved secret
    // only when it may ask for new ones, whatever we answer before.
    GVariantBuilder secrets;
    g_variant_builder_init(&secrets, G_VARIANT_TYPE("a{ss}"));
    g_variant_builder_add(&secrets, "{ss}", "password", secret.password.c_str());
    GVariantBuilder vpn;
    g_variant_builder_init(&vpn, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&vpn, "{sv}", NM_SETTING_VPN_SECRETS, g_variant_builder_end(&secrets));
    GVariantBuilder all;
    g_variant_builder_init(&all, NM_VARIANT_TYPE_CONNECTION);
    g_variant_builder_add(&all, "{s@a{sv}}", NM_SETTING_VPN_SETTING_NAME,
                          g_variant_builder_end(&vpn));
    GVariant* answer = g_variant_ref_sink(g_variant_builder_end(&all));
    callback(agent, connection, answer, nullptr, data);
    g_variant_unref(answer);
}

// Every answer is given at once: nothing to cancel.
static void cancel_get_secrets(NMSecretAgentOld*, const char*, const char*) {}

// Nothing is ever stored.
static void save_secrets(NMSecretAgentOld* agent, NMConnection* connection, const char*,
                         NMSecretAgentOldSaveSecretsFunc callback, gpointer data) {
    callback(agent, connection, nullptr, data);
}

static void delete_secrets(NMSecretAgentOld* agent, NMConnection* connection, const char*,
                           NMSecretAgentOldDeleteSecretsFunc callback, gpointer data) {
    callback(agent, connection, nullptr, data);
}

static void rasdial_agent_class_init(RasdialAgentClass* type) {
    NMSecretAgentOldClass* agent = NM_SECRET_AGENT_OLD_CLASS(type);
    agent->get_secrets = get_secrets;
    agent->cancel_get_secrets = cancel_get_secrets;
    agent->save_secrets = save_secrets;
    agent->delete_secrets = delete_secrets;
}

} // extern "C"

namespace rasdial::nm {

void registerAgentAsync(const std::string& identifier, GCancellable* cancellable,
                        GAsyncReadyCallback callback, gpointer data) {
    g_async_initable_new_async(rasdial_agent_get_type(), G_PRIORITY_DEFAULT, cancellable,
                               callback, data, NM_SECRET_AGENT_OLD_IDENTIFIER, identifier.c_str(),
                               NM_SECRET_AGENT_OLD_CAPABILITIES, NM_SECRET_AGENT_CAPABILITY_NONE,
                               NM_SECRET_AGENT_OLD_AUTO_REGISTER, TRUE, nullptr);
}

} // namespace rasdial::nm
