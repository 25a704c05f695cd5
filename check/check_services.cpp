#include "check/check_services.h"

#include <curl/curl.h>

#include "build_config.h"
#include "certpath/probe.h"
#include "check/check_run.h"
#include "check/environment.h"
#include "net/fetch.h"
#include "patch/manifest.h"

namespace veskcheck {
namespace {

std::optional<LibcurlComponents> readLibcurlComponents() {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (info == nullptr || info->version == nullptr || info->ssl_version == nullptr) return std::nullopt;
    return LibcurlComponents{info->version, info->ssl_version};
}

}  // namespace

CheckServices realCheckServices() {
    CheckServices services;
    services.cdnHost = cdnHost;
    services.timestamp = formatTimestamp;
    services.systemDescription = [] { return describeOperatingSystem(readOsVersionFacts()); };
    services.wineVersion = readWineVersion;
    services.startLibcurl = [] { return curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK; };
    services.stopLibcurl = curl_global_cleanup;
    services.libcurlComponents = readLibcurlComponents;
    services.fetch = fetchUrl;
    services.verify = veskpatch::verifyManifest;
    services.probe = probeCertificatePath;
    return services;
}

CheckReport runCheck(const CancelFlag& cancel) { return runCheck(cancel, realCheckServices()); }

}  // namespace veskcheck
