#include "farlink/credentials.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <map>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace farlink {

namespace fs = std::filesystem;

namespace {

constexpr long kValidDays = 3650;

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using Crl = std::unique_ptr<X509_CRL, Deleter<X509_CRL, X509_CRL_free>>;

constexpr const char* kInitialClient = "client";

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

Key newKey() {
    Key key(EVP_EC_gen("P-256"));
    if (!key) fail("cannot generate a key");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext || !X509_add_ext(cert, ext, -1)) fail("cannot add a certificate extension");
    X509_EXTENSION_free(ext);
}

// A certificate for `key` named `name`, signed by issuerKey (self-signed when issuer is null).
Cert makeCertificate(EVP_PKEY* key, const std::string& name, X509* issuer, EVP_PKEY* issuerKey,
                     const std::vector<std::pair<int, const char*>>& extensions) {
    Cert cert(X509_new());
    if (!cert) fail("out of memory");
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7F;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidDays * 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* subject = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(name.c_str()), -1, -1, 0);
    X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : subject);
    X509* signer = issuer ? issuer : cert.get();
    for (const auto& [nid, value] : extensions) addExtension(cert.get(), signer, nid, value);
    if (!X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256())) fail("cannot sign a certificate");
    return cert;
}

std::string pemOf(EVP_PKEY* key) {
    Bio bio(BIO_new(BIO_s_mem()));
    if (!PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr)) fail("cannot write a key");
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, std::size_t(n));
}

std::string pemOf(X509* cert) {
    Bio bio(BIO_new(BIO_s_mem()));
    if (!PEM_write_bio_X509(bio.get(), cert)) fail("cannot write a certificate");
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, std::size_t(n));
}

// Written whole to a temporary file and renamed; readable by the owner only.
void writePrivate(const fs::path& file, const std::string& text) {
    const fs::path temporary = file.string() + ".tmp";
    {
        const mode_t old = ::umask(077);
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        ::umask(old);
        out << text;
        out.close();
        if (!out) fail("cannot write " + temporary.string());
    }
    fs::permissions(temporary, fs::perms::owner_read | fs::perms::owner_write);
    fs::rename(temporary, file);
}

// A client certificate named `name`, signed by the authority.
Cert makeClientCertificate(EVP_PKEY* key, const std::string& name, X509* ca, EVP_PKEY* caKey) {
    return makeCertificate(key, name, ca, caKey,
                           {{NID_basic_constraints, "critical,CA:FALSE"},
                            {NID_key_usage, "critical,digitalSignature"},
                            {NID_ext_key_usage, "clientAuth"},
                            {NID_authority_key_identifier, "keyid"}});
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) fail("cannot read " + file.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The PEM blocks of a text, in order, with their labels ("PRIVATE KEY", "CERTIFICATE").
std::vector<std::pair<std::string, std::string>> pemBlocks(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> blocks;
    std::size_t at = 0;
    while ((at = text.find("-----BEGIN ", at)) != std::string::npos) {
        const std::size_t labelEnd = text.find("-----", at + 11);
        if (labelEnd == std::string::npos) break;
        const std::string label = text.substr(at + 11, labelEnd - at - 11);
        const std::string endMark = "-----END " + label + "-----";
        const std::size_t end = text.find(endMark, labelEnd);
        if (end == std::string::npos) break;
        blocks.emplace_back(label, text.substr(at, end + endMark.size() - at) + "\n");
        at = end + endMark.size();
    }
    return blocks;
}

Key readKey(const std::string& pem) {
    Bio bio(BIO_new_mem_buf(pem.data(), int(pem.size())));
    Key key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    if (!key) fail("cannot read the authority's key");
    return key;
}

Cert readCertificate(const std::string& pem) {
    Bio bio(BIO_new_mem_buf(pem.data(), int(pem.size())));
    return Cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));  // the first in the text
}

std::string commonName(X509* cert) {
    char name[256] = "";
    X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, name, sizeof name);
    return name;
}

bool validClientName(const std::string& name) {
    if (name.empty() || name.size() > 64 || !std::isalnum(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-') return false;
    return true;
}

// Every client certificate the host issued, by name: clients/*.crt, and the one in client.pem
// (made by --init; hosts set up before clients/ existed have only that one).
std::map<std::string, Cert> issuedCertificates(const fs::path& folder) {
    std::map<std::string, Cert> issued;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder / "clients", ec)) {
        if (entry.path().extension() != ".crt") continue;
        if (Cert c = readCertificate(readFile(entry.path()))) issued[commonName(c.get())] = std::move(c);
    }
    if (fs::exists(folder / "client.pem")) {
        // client.pem holds the key, the client's certificate, then the authority's.
        if (Cert c = readCertificate(readFile(folder / "client.pem"))) {
            const std::string name = commonName(c.get());
            if (!issued.count(name)) issued[name] = std::move(c);
        }
    }
    return issued;
}

// The authority's revocation list; an empty one signed now when there is none.
Crl loadRevocations(const fs::path& folder) {
    const fs::path file = folder / "crl.pem";
    if (!fs::exists(file)) return nullptr;
    const std::string text = readFile(file);
    Bio bio(BIO_new_mem_buf(text.data(), int(text.size())));
    Crl crl(PEM_read_bio_X509_CRL(bio.get(), nullptr, nullptr, nullptr));
    if (!crl) fail(file.string() + " is not a certificate revocation list");
    return crl;
}

bool isRevoked(X509_CRL* crl, X509* cert) {
    if (!crl) return false;
    X509_REVOKED* entry = nullptr;
    return X509_CRL_get0_by_serial(crl, &entry, X509_get_serialNumber(cert)) == 1;
}

std::string serialText(X509* cert) {
    BIGNUM* bn = ASN1_INTEGER_to_BN(X509_get_serialNumber(cert), nullptr);
    char* hex = bn ? BN_bn2hex(bn) : nullptr;
    std::string text = hex ? hex : "?";
    OPENSSL_free(hex);
    BN_free(bn);
    return text;
}

std::string timeText(const ASN1_TIME* t) {
    Bio bio(BIO_new(BIO_s_mem()));
    ASN1_TIME_print(bio.get(), t);
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, std::size_t(n));
}

void writeClient(const fs::path& folder, const std::string& name, const fs::path& credential) {
    const Cert ca = readCertificate(readFile(folder / "ca.crt"));
    if (!ca) fail("cannot read " + (folder / "ca.crt").string());
    const Key caKey = readKey(readFile(folder / "ca.key"));
    Key clientKey = newKey();
    Cert client = makeClientCertificate(clientKey.get(), name, ca.get(), caKey.get());
    fs::create_directories(folder / "clients");
    fs::permissions(folder / "clients", fs::perms::owner_all);
    writePrivate(folder / "clients" / (name + ".crt"), pemOf(client.get()));
    writePrivate(credential, pemOf(clientKey.get()) + pemOf(client.get()) + pemOf(ca.get()));
}

}  // namespace

fs::path configFolder() {
    if (const char* d = std::getenv("FARLINK_CONFIG_DIR"); d && *d) return d;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return fs::path(x) / "farlink";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".config" / "farlink";
}

void initHost(const fs::path& folder, bool force) {
    for (const char* name : {"ca.key", "host.key", "client.pem"})
        if (!force && fs::exists(folder / name))
            fail((folder / name).string() + " exists already (--force replaces the host's keys)");
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);
    Key caKey = newKey();
    Cert ca = makeCertificate(caKey.get(), "farlinkd authority", nullptr, nullptr,
                              {{NID_basic_constraints, "critical,CA:TRUE,pathlen:0"},
                               {NID_key_usage, "critical,keyCertSign,cRLSign"},
                               {NID_subject_key_identifier, "hash"}});
    Key hostKey = newKey();
    Cert host = makeCertificate(hostKey.get(), kHostCertificateName, ca.get(), caKey.get(),
                                {{NID_basic_constraints, "critical,CA:FALSE"},
                                 {NID_key_usage, "critical,digitalSignature"},
                                 {NID_ext_key_usage, "serverAuth"},
                                 {NID_subject_alt_name, "DNS:farlinkd"},
                                 {NID_authority_key_identifier, "keyid"}});
    writePrivate(folder / "ca.key", pemOf(caKey.get()));
    writePrivate(folder / "ca.crt", pemOf(ca.get()));
    writePrivate(folder / "host.key", pemOf(hostKey.get()));
    writePrivate(folder / "host.crt", pemOf(host.get()));
    // The new authority has revoked nothing and issued nothing yet.
    fs::remove(folder / "crl.pem");
    fs::remove_all(folder / "clients");
    writeClient(folder, kInitialClient, folder / "client.pem");
}

fs::path addClient(const fs::path& folder, const std::string& name) {
    if (!validClientName(name))
        fail("\"" + name + "\" is not a client name (letters, digits, '.', '_' and '-', at most 64, beginning with a letter or digit)");
    const auto issued = issuedCertificates(folder);
    if (auto it = issued.find(name); it != issued.end())
        fail("the client \"" + name + "\" was issued before" +
             (isRevoked(loadRevocations(folder).get(), it->second.get()) ? " and is revoked" : "") +
             " (a name is issued once: choose another)");
    const fs::path credential = folder / "clients" / (name + ".pem");
    writeClient(folder, name, credential);
    return credential;
}

std::vector<IssuedClient> listClients(const fs::path& folder) {
    const Crl crl = loadRevocations(folder);
    std::vector<IssuedClient> list;
    for (const auto& [name, cert] : issuedCertificates(folder))
        list.push_back({name, serialText(cert.get()), timeText(X509_get0_notAfter(cert.get())), isRevoked(crl.get(), cert.get())});
    return list;
}

void revokeClient(const fs::path& folder, const std::string& name) {
    const auto issued = issuedCertificates(folder);
    const auto it = issued.find(name);
    if (it == issued.end()) fail("no client \"" + name + "\" was issued by this host");
    Crl crl = loadRevocations(folder);
    if (isRevoked(crl.get(), it->second.get())) fail("the client \"" + name + "\" is revoked already");
    const Cert ca = readCertificate(readFile(folder / "ca.crt"));
    if (!ca) fail("cannot read " + (folder / "ca.crt").string());
    const Key caKey = readKey(readFile(folder / "ca.key"));
    if (!crl) {
        crl.reset(X509_CRL_new());
        if (!crl) fail("out of memory");
        X509_CRL_set_version(crl.get(), 1);
    }
    X509_CRL_set_issuer_name(crl.get(), X509_get_subject_name(ca.get()));
    X509_REVOKED* entry = X509_REVOKED_new();
    ASN1_TIME* now = ASN1_TIME_set(nullptr, std::time(nullptr));
    X509_REVOKED_set_serialNumber(entry, X509_get_serialNumber(it->second.get()));
    X509_REVOKED_set_revocationDate(entry, now);
    X509_CRL_add0_revoked(crl.get(), entry);
    X509_CRL_set1_lastUpdate(crl.get(), now);
    ASN1_TIME* next = X509_time_adj_ex(nullptr, int(kValidDays), 0, nullptr);
    X509_CRL_set1_nextUpdate(crl.get(), next);
    ASN1_TIME_free(now);
    ASN1_TIME_free(next);
    X509_CRL_sort(crl.get());
    if (!X509_CRL_sign(crl.get(), caKey.get(), EVP_sha256())) fail("cannot sign the revocation list");
    Bio bio(BIO_new(BIO_s_mem()));
    if (!PEM_write_bio_X509_CRL(bio.get(), crl.get())) fail("cannot write the revocation list");
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &data);
    writePrivate(folder / "crl.pem", std::string(data, std::size_t(n)));
}

std::set<std::string> revokedClients(const fs::path& folder) {
    std::set<std::string> names;
    const Crl crl = loadRevocations(folder);
    if (!crl) return names;
    for (const auto& [name, cert] : issuedCertificates(folder))
        if (isRevoked(crl.get(), cert.get())) names.insert(name);
    return names;
}

HostMaterial loadHost(const fs::path& folder) {
    return {readFile(folder / "host.key"), readFile(folder / "host.crt"), readFile(folder / "ca.crt")};
}

std::optional<ClientCredential> findClientCredential(const std::string& host) {
    fs::path file;
    if (const char* c = std::getenv("FARLINK_CREDENTIAL"); c && *c) {
        file = c;
    } else {
        const fs::path folder = configFolder();
        file = folder / "credentials" / (host + ".pem");
        if (host.find('/') != std::string::npos || !fs::exists(file)) file = folder / "client.pem";
    }
    if (!fs::exists(file)) return std::nullopt;
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0 && (info.st_mode & 077))
        fail(file.string() + " may be read by others than its owner: a credential holds the client's private key, "
                             "so it is not used (chmod 600 " + file.string() + ")");
    ClientCredential c;
    int certificates = 0;
    for (const auto& [label, block] : pemBlocks(readFile(file))) {
        if (label.find("PRIVATE KEY") != std::string::npos) c.key = block;
        else if (label == "CERTIFICATE") (certificates++ == 0 ? c.certificate : c.authority) += block;
    }
    if (c.key.empty() || c.certificate.empty() || c.authority.empty())
        fail(file.string() + " is not a farlink credential (a key, the client's certificate and the host's authority)");
    return c;
}

}  // namespace farlink
