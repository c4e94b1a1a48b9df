// The host's key and certificates and the client credential: made by `farlinkd --init` with
// OpenSSL, kept as PEM files in the user's configuration folder.
//
//   host folder: ca.key ca.crt (the host's own authority), host.key host.crt (what the exporter
//                presents), client.pem (the credential of the client "client" made at --init: its
//                key, its certificate, and ca.crt so that the client trusts this host and no
//                other), clients/NAME.pem and clients/NAME.crt (the credential and certificate of
//                each client issued since), crl.pem (the authority's list of revoked certificates)
//   client folder: client.pem, or credentials/<host>.pem for one host among several
//
// A client is known by its certificate's common name, which the host issues once: a name is
// never issued again while the authority lives, so revoking a name revokes that one certificate.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace farlink {

// The name the host's certificate carries and clients check, whatever address they dial.
inline constexpr const char* kHostCertificateName = "farlinkd";

// $FARLINK_CONFIG_DIR, else $XDG_CONFIG_HOME/farlink, else ~/.config/farlink.
std::filesystem::path configFolder();

// Makes the host's authority, key and certificate and one client credential in `folder`; refuses
// to overwrite existing ones unless `force`. Throws std::runtime_error with the reason.
void initHost(const std::filesystem::path& folder, bool force);

// Issues a credential for the client `name` (letters, digits, '.', '_', '-'; at most 64) signed by
// the host's authority; returns the file to hand over. Throws for a name issued before.
std::filesystem::path addClient(const std::filesystem::path& folder, const std::string& name);

struct IssuedClient {
    std::string name;
    std::string serial;    // hexadecimal
    std::string notAfter;  // as OpenSSL prints it
    bool revoked = false;
};
std::vector<IssuedClient> listClients(const std::filesystem::path& folder);

// Adds the client's certificate to the authority's revocation list (crl.pem); a running exporter
// refuses it from then on. Throws for an unknown or already revoked name.
void revokeClient(const std::filesystem::path& folder, const std::string& name);

// The names of the revoked clients; empty without a revocation list. Throws for one that cannot
// be read.
std::set<std::string> revokedClients(const std::filesystem::path& folder);

struct HostMaterial {
    std::string key, certificate, authority;  // PEM
};
// Throws std::runtime_error naming the missing or unreadable file.
HostMaterial loadHost(const std::filesystem::path& folder);

struct ClientCredential {
    std::string key, certificate, authority;  // PEM
};
// $FARLINK_CREDENTIAL, else credentials/<host>.pem, else client.pem of the client's folder;
// nothing when none exists. Throws std::runtime_error for a file that is not a credential or that
// others than its owner may read.
std::optional<ClientCredential> findClientCredential(const std::string& host);

}  // namespace farlink
