// farlinkd: the object exporter a bench host runs, in the foreground with its log on standard
// error; SIGTERM or SIGINT stops it, closing every connection and releasing what it held.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "farlink/credentials.h"
#include "farlink/exporter.h"

namespace {

void usage(std::ostream& out) {
    out << "usage: farlinkd [--listen ADDRESS] [--port PORT] [--config DIR] [--max-connections N]\n"
           "       farlinkd --init [--force] [--config DIR]\n"
           "\n"
           "Serves the automation classes of this host's registry to authenticated remote clients\n"
           "(Cap'n Proto RPC over TLS; clients present a certificate that this host issued).\n"
           "\n"
           "  --init             make this host's authority, key and certificate and a client\n"
           "                     credential (client.pem) in the configuration folder\n"
           "  --force            with --init: replace existing keys (every issued credential stops working)\n"
           "  --listen ADDRESS   numeric address to listen on (default 0.0.0.0)\n"
           "  --port PORT        TCP port (default "
        << farlink::kDefaultPort
        << "; 0 picks a free one)\n"
           "  --config DIR       configuration folder (default $XDG_CONFIG_HOME/farlink or ~/.config/farlink)\n"
           "  --max-connections N  clients served at once (default 16)\n"
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
    bool init = false, force = false;
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
        } else {
            std::cerr << "farlinkd: unknown option " << a << "\n";
            usage(std::cerr);
            return 2;
        }
    }
    try {
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
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);  // before any thread starts: they inherit it
        signal(SIGPIPE, SIG_IGN);
        const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
        farlink::ExporterOptions used = options;
        farlink::ObjectExporter exporter(std::move(used));
        exporter.run(stopFd);
        close(stopFd);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "farlinkd: " << e.what() << "\n";
        return 1;
    }
}
