#pragma once

#include "libnm.h"

#include <string>

// The dial's own secret agent: NetworkManager asks its agents for a profile's password when it
// activates it, and a not-saved password is never stored anywhere. Ours lives only while the
// tool dials, and answers only for the one profile it was given.
namespace rasdial::nm {

// The password handed over for the profile at `path` (its D-Bus object path), and only for it.
void setAgentSecret(const std::string& path, const std::string& password);
// Forgets the password, overwriting our copy.
void clearAgentSecret();

// Starts registering an agent (a new NMSecretAgentOld) under `identifier`; the result comes to
// `callback` as for g_async_initable_new_async.
void registerAgentAsync(const std::string& identifier, GCancellable* cancellable,
                        GAsyncReadyCallback callback, gpointer data);

} // namespace rasdial::nm
