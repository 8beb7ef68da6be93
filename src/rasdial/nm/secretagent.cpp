#include "secretagent.h"

#include "rasdialerrors.h"

#include <cstring>

namespace rasdial::nm {

namespace {

struct Secret {
    std::string uuid;
    const Password* password = nullptr;
};
Secret secret;

} // namespace

void setAgentSecret(const std::string& uuid, const Password* password) {
    secret.uuid = uuid;
    secret.password = password;
}

void clearAgentSecret() {
    secret = {};
}

GVariant* agentAnswer(NMConnection* connection, const char* settingName, GError** error) {
    const char* uuid = connection ? nm_connection_get_uuid(connection) : nullptr;
    if (!secret.password || secret.uuid.empty() || !uuid || secret.uuid != uuid ||
        g_strcmp0(settingName, NM_SETTING_VPN_SETTING_NAME) != 0) {
        if (!secret.uuid.empty() && uuid && secret.uuid != uuid)
            note(std::string("NetworkManager asked this dial's agent for the secrets of another "
                             "profile (") +
                 (nm_connection_get_id(connection) ? nm_connection_get_id(connection) : "") + ", " +
                 uuid + "): refused");
        g_set_error_literal(error, NM_SECRET_AGENT_ERROR, NM_SECRET_AGENT_ERROR_NO_SECRETS,
                            "not the profile of this dial");
        return nullptr;
    }
    // NetworkManager itself takes a not-saved secret only when it may ask for new ones,
    // whatever we answer before.
    GVariantBuilder secrets;
    g_variant_builder_init(&secrets, G_VARIANT_TYPE("a{ss}"));
    g_variant_builder_add(&secrets, "{ss}", "password", secret.password->c_str());
    GVariantBuilder vpn;
    g_variant_builder_init(&vpn, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&vpn, "{sv}", NM_SETTING_VPN_SECRETS, g_variant_builder_end(&secrets));
    GVariantBuilder all;
    g_variant_builder_init(&all, NM_VARIANT_TYPE_CONNECTION);
    g_variant_builder_add(&all, "{s@a{sv}}", NM_SETTING_VPN_SETTING_NAME,
                          g_variant_builder_end(&vpn));
    return g_variant_ref_sink(g_variant_builder_end(&all));
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

static void get_secrets(NMSecretAgentOld* agent, NMConnection* connection, const char*,
                        const char* setting_name, const char**, NMSecretAgentGetSecretsFlags,
                        NMSecretAgentOldGetSecretsFunc callback, gpointer data) {
    GError* error = nullptr;
    GVariant* answer = rasdial::nm::agentAnswer(connection, setting_name, &error);
    callback(agent, connection, answer, error, data);
    if (answer) g_variant_unref(answer);
    g_clear_error(&error);
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
    g_async_initable_new_async(rasdial_agent_get_type(), G_PRIORITY_DEFAULT, cancellable, callback,
                               data, NM_SECRET_AGENT_OLD_IDENTIFIER, identifier.c_str(),
                               NM_SECRET_AGENT_OLD_CAPABILITIES, NM_SECRET_AGENT_CAPABILITY_NONE,
                               NM_SECRET_AGENT_OLD_AUTO_REGISTER, TRUE, nullptr);
}

} // namespace rasdial::nm
