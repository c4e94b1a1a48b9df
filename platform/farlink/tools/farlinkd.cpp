// farlinkd: the object exporter a bench host runs, in the foreground with its log on standard
// error; SIGTERM or SIGINT stops it, closing every connection and releasing what it held; SIGHUP
// reads the keys and the revocation list again. Also issues, lists and revokes client credentials.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <iostream>
#include <string>

#include "farlink/credentials.h"
#include "farlink/exporter.h"

namespace {

void usage(std::ostream& out) {
    out << "usage: farlinkd [--listen ADDRESS] [--port PORT] [--config DIR] [--max-connections N]\n"
           "                [--max-handshakes N] [--handshake-timeout SECONDS] [--idle-timeout SECONDS]\n"
           "       farlinkd --init [--force | --keep] [--config DIR]\n"
           "       farlinkd --add-client NAME | --list-clients | --revoke NAME [--config DIR]\n"
           "\n"
           "Serves the automation classes of this host's registry to authenticated remote clients\n"
           "(Cap'n Proto RPC over TLS; clients present a certificate that this host issued).\n"
           "\n"
           "  --init             make this host's authority, key and certificate and the credential\n"
           "                     of the client \"client\" (client.pem) in the configuration folder\n"
           "  --force            with --init: replace existing keys (every issued credential stops working)\n"
           "  --keep             with --init: do nothing when the host's keys exist already\n"
           "  --add-client NAME  issue a credential for the client NAME (clients/NAME.pem, to hand over)\n"
           "  --list-clients     show the clients issued, their certificate's serial, expiry and state\n"
           "  --revoke NAME      revoke the client NAME: a running exporter refuses it at once and ends\n"
           "                     its connections\n"
           "  --listen ADDRESS   numeric address to listen on (default 0.0.0.0)\n"
           "  --port PORT        TCP port (default "
        << farlink::kDefaultPort
        << "; 0 picks a free one)\n"
           "  --config DIR       configuration folder (default $XDG_CONFIG_HOME/farlink or ~/.config/farlink)\n"
           "  --max-connections N  clients served at once (default 16; more are told the host is busy)\n"
           "  --max-handshakes N   connections not yet authenticated (default 32, a quarter from one\n"
           "                       address; the oldest handshake makes room for a new one)\n"
           "  --handshake-timeout SECONDS  time a connection has to authenticate (default 5)\n"
           "  --idle-timeout SECONDS  close a client that made no call for so long (default 1800; 0: never)\n"
           "  --help             this text\n";
}

bool number(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return *text && !*end && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
    farlink::ExporterOptions options;
    options.configFolder = farlink::configFolder();
    bool init = false, force = false, keep = false, list = false;
    std::string addClient, revoke;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::cerr << "farlinkd: " << a << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        long n = 0;
        if (a == "--help" || a == "-h") {
            usage(std::cout);
            return 0;
        } else if (a == "--init") {
            init = true;
        } else if (a == "--force") {
            force = true;
        } else if (a == "--keep") {
            keep = true;
        } else if (a == "--add-client") {
            addClient = value();
        } else if (a == "--list-clients") {
            list = true;
        } else if (a == "--revoke") {
            revoke = value();
        } else if (a == "--listen") {
            options.listenAddress = value();
        } else if (a == "--port") {
            if (!number(value(), 0, 65535, n)) {
                std::cerr << "farlinkd: --port needs a number from 0 to 65535\n";
                return 2;
            }
            options.port = std::uint16_t(n);
        } else if (a == "--config") {
            options.configFolder = value();
        } else if (a == "--max-connections") {
            if (!number(value(), 1, 1024, n)) {
                std::cerr << "farlinkd: --max-connections needs a number from 1 to 1024\n";
                return 2;
            }
            options.maxConnections = unsigned(n);
        } else if (a == "--max-handshakes") {
            if (!number(value(), 1, 1024, n)) {
                std::cerr << "farlinkd: --max-handshakes needs a number from 1 to 1024\n";
                return 2;
            }
            options.maxHandshakes = unsigned(n);
            options.maxHandshakesPerPeer = std::max(1u, unsigned(n) / 4);
        } else if (a == "--handshake-timeout") {
            if (!number(value(), 1, 600, n)) {
                std::cerr << "farlinkd: --handshake-timeout needs a number of seconds from 1 to 600\n";
                return 2;
            }
            options.handshakeSeconds = unsigned(n);
        } else if (a == "--idle-timeout") {
            if (!number(value(), 0, 86400 * 7, n)) {
                std::cerr << "farlinkd: --idle-timeout needs a number of seconds from 0 to 604800\n";
                return 2;
            }
            options.idleSeconds = unsigned(n);
        } else {
            std::cerr << "farlinkd: unknown option " << a << "\n";
            usage(std::cerr);
            return 2;
        }
    }
    try {
        if (int(init) + int(list) + int(!addClient.empty()) + int(!revoke.empty()) > 1 || (keep && force)) {
            std::cerr << "farlinkd: --init, --add-client, --list-clients and --revoke go alone; --keep and --force exclude each other\n";
            return 2;
        }
        if (init && keep && std::filesystem::exists(options.configFolder / "host.key")) return 0;
        if (!addClient.empty()) {
            const auto file = farlink::addClient(options.configFolder, addClient);
            std::cout << "farlinkd: issued the client \"" << addClient << "\"\nGive it " << file.string()
                      << " over a trusted channel (its ~/.config/farlink/client.pem, or credentials/HOST.pem).\n";
            return 0;
        }
        if (list) {
            for (const auto& c : farlink::listClients(options.configFolder))
                std::cout << c.name << "\t" << (c.revoked ? "revoked" : "valid") << "\tserial " << c.serial
                          << "\tuntil " << c.notAfter << "\n";
            return 0;
        }
        if (!revoke.empty()) {
            farlink::revokeClient(options.configFolder, revoke);
            std::cout << "farlinkd: revoked the client \"" << revoke
                      << "\"; a running exporter refuses it from now on and ends its connections\n";
            return 0;
        }
        if (init) {
            farlink::initHost(options.configFolder, force);
            std::cout << "farlinkd: made the host's key and certificate in " << options.configFolder.string()
                      << "\nGive clients " << (options.configFolder / "client.pem").string()
                      << " (their ~/.config/farlink/client.pem).\n";
            return 0;
        }
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGTERM);
        sigaddset(&stopSignals, SIGINT);
        sigset_t reloadSignals;
        sigemptyset(&reloadSignals);
        sigaddset(&reloadSignals, SIGHUP);
        sigset_t all = stopSignals;
        sigaddset(&all, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);  // before any thread starts: they inherit it
        signal(SIGPIPE, SIG_IGN);
        const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
        const int reloadFd = signalfd(-1, &reloadSignals, SFD_CLOEXEC | SFD_NONBLOCK);
        farlink::ExporterOptions used = options;
        farlink::ObjectExporter exporter(std::move(used));
        exporter.run(stopFd, reloadFd);
        close(stopFd);
        close(reloadFd);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "farlinkd: " << e.what() << "\n";
        return 1;
    }
}
