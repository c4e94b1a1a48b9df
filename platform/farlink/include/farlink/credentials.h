// The host's key and certificates and the client credential: made by `farlinkd --init` with
// OpenSSL, kept as PEM files in the user's configuration folder.
//
//   host folder: ca.key ca.crt (the host's own authority), host.key host.crt (what the exporter
//                presents), client.pem (a credential for one client: its key, its certificate,
//                and ca.crt so that the client trusts this host and no other)
//   client folder: client.pem, or credentials/<host>.pem for one host among several
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace farlink {

// The name the host's certificate carries and clients check, whatever address they dial.
inline constexpr const char* kHostCertificateName = "farlinkd";

// $FARLINK_CONFIG_DIR, else $XDG_CONFIG_HOME/farlink, else ~/.config/farlink.
std::filesystem::path configFolder();

// Makes the host's authority, key and certificate and one client credential in `folder`; refuses
// to overwrite existing ones unless `force`. Throws std::runtime_error with the reason.
void initHost(const std::filesystem::path& folder, bool force);

struct HostMaterial {
    std::string key, certificate, authority;  // PEM
};
// Throws std::runtime_error naming the missing or unreadable file.
HostMaterial loadHost(const std::filesystem::path& folder);

struct ClientCredential {
    std::string key, certificate, authority;  // PEM
};
// $FARLINK_CREDENTIAL, else credentials/<host>.pem, else client.pem of the client's folder;
// nothing when none exists. Throws std::runtime_error for a file that is not a credential.
std::optional<ClientCredential> findClientCredential(const std::string& host);

}  // namespace farlink
