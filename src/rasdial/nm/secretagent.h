#pragma once

#include "libnm.h"
#include "password.h"

#include <string>

// The dial's own secret agent: NetworkManager asks its agents for a profile's password when it
// activates it, and a not-saved password is never stored anywhere. Ours lives only while the
// tool dials, and answers only for the one profile it was given, known by its UUID before
// NetworkManager has it: never by its D-Bus path, which NetworkManager numbers afresh when it
// restarts, so that a path can come to name another profile of the user's.
namespace rasdial::nm {

// The password handed over for the profile with this UUID, and only for it: read where it is
// (the dial's one buffer), which must outlive the agent's use of it, never copied.
void setAgentSecret(const std::string& uuid, const Password* password);
// From now on the agent answers no one.
void clearAgentSecret();

// The agent's answer to NetworkManager's request for a setting's secrets of `connection`: for
// the dial's own profile's VPN setting {"vpn": {"secrets": {"password": ...}}}, a new
// floating-free reference for the caller to unref; for anything else null, and the error.
GVariant* agentAnswer(NMConnection* connection, const char* settingName, GError** error);

// Starts registering an agent (a new NMSecretAgentOld) under `identifier`; the result comes to
// `callback` as for g_async_initable_new_async.
void registerAgentAsync(const std::string& identifier, GCancellable* cancellable,
                        GAsyncReadyCallback callback, gpointer data);

} // namespace rasdial::nm
