#include "nmprofile.h"

#include "ppppolicy.h"

#include "libnm.h"

#include <sys/socket.h>

namespace rasdial::nm {

Profile profileFor(const LinkRequest& request, const std::string& gateway) {
    const PppPolicy policy = pppPolicy(request);
    Profile profile;
    auto& data = profile.vpnData;
    // The address, so that the name is looked up once, by the tool, and a name with several
    // addresses cannot lead the plugin to another server than the one the tool knocked at.
    data.emplace_back("gateway", gateway);
    data.emplace_back("user", request.user);
    data.emplace_back("password-flags", std::to_string(NM_SETTING_SECRET_FLAG_NOT_SAVED));
    switch (policy.encryption) {
    case Encryption::Strong128:
        data.emplace_back("require-mppe-128", "yes");
        break;
    case Encryption::Any:
        data.emplace_back("require-mppe", "yes");
        break;
    case Encryption::None:
        break; // pppd's own default: no MPPE
    }
    data.emplace_back("refuse-eap", "yes");
    const std::pair<bool, const char*> refusals[] = {{policy.refusePap, "refuse-pap"},
                                                     {policy.refuseChap, "refuse-chap"},
                                                     {policy.refuseMsChap, "refuse-mschap"},
                                                     {policy.refuseMsChapV2, "refuse-mschapv2"}};
    for (const auto& [refused, key] : refusals)
        if (refused) data.emplace_back(key, "yes");
    data.emplace_back("nobsdcomp", "yes");
    data.emplace_back("nodeflate", "yes");
    data.emplace_back("lcp-echo-interval", std::to_string(LcpEchoInterval));
    data.emplace_back("lcp-echo-failure", std::to_string(LcpEchoFailure));

    profile.neverDefault = !policy.defaultRoute;
    if (policy.defaultRoute) {
        profile.dnsPriority = -50;
        profile.blockedIpv6 = blockedIpv6();
    }
    return profile;
}

NMConnection* newConnection(const LinkRequest& request, const Profile& profile,
                            const std::string& login) {
    NMConnection* connection = nm_simple_connection_new();
    NMSetting* general = nm_setting_connection_new();
    char* uuid = nm_utils_uuid_generate();
    g_object_set(general, NM_SETTING_CONNECTION_ID, request.entry.c_str(),
                 NM_SETTING_CONNECTION_UUID, uuid, NM_SETTING_CONNECTION_TYPE,
                 NM_SETTING_VPN_SETTING_NAME, NM_SETTING_CONNECTION_AUTOCONNECT, FALSE, nullptr);
    g_free(uuid);
    // Owned by the user: NetworkManager shows and lets control it to the user alone.
    nm_setting_connection_add_permission(NM_SETTING_CONNECTION(general), "user",
                                         login.c_str(), nullptr);
    nm_connection_add_setting(connection, general);

    NMSetting* vpn = nm_setting_vpn_new();
    g_object_set(vpn, NM_SETTING_VPN_SERVICE_TYPE, PptpService, nullptr);
    for (const auto& [key, value] : profile.vpnData)
        nm_setting_vpn_add_data_item(NM_SETTING_VPN(vpn), key.c_str(), value.c_str());
    nm_connection_add_setting(connection, vpn);

    NMSetting* ip4 = nm_setting_ip4_config_new();
    g_object_set(ip4, NM_SETTING_IP_CONFIG_METHOD, NM_SETTING_IP4_CONFIG_METHOD_AUTO,
                 NM_SETTING_IP_CONFIG_NEVER_DEFAULT, gboolean(profile.neverDefault),
                 NM_SETTING_IP_CONFIG_DNS_PRIORITY, profile.dnsPriority, nullptr);
    nm_connection_add_setting(connection, ip4);
    NMSetting* ip6 = nm_setting_ip6_config_new();
    g_object_set(ip6, NM_SETTING_IP_CONFIG_METHOD, NM_SETTING_IP6_CONFIG_METHOD_AUTO, nullptr);
    for (const Ipv6Prefix& prefix : profile.blockedIpv6) {
        NMIPRoute* route =
            nm_ip_route_new(AF_INET6, prefix.address.c_str(), prefix.length, nullptr, -1, nullptr);
        nm_ip_route_set_attribute(route, NM_IP_ROUTE_ATTRIBUTE_TYPE,
                                  g_variant_new_string("unreachable"));
        nm_setting_ip_config_add_route(NM_SETTING_IP_CONFIG(ip6), route);
        nm_ip_route_unref(route);
    }
    nm_connection_add_setting(connection, ip6);

    NMSetting* tags = nm_setting_user_new();
    nm_setting_user_set_data(NM_SETTING_USER(tags), EntryKey, request.entry.c_str(), nullptr);
    nm_setting_user_set_data(NM_SETTING_USER(tags), OwnerKey, std::to_string(request.owner).c_str(),
                             nullptr);
    nm_connection_add_setting(connection, tags);
    return connection;
}

} // namespace rasdial::nm
