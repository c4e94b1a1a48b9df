// Airmeter's settings file: every setting the windows read, from a file of any content.
#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A new name each time: the settings reader caches files by name.
    static unsigned serial = 0;
    const std::string path = "/tmp/fuzz-ini-" + std::to_string(getpid()) + "-" + std::to_string(serial++) + ".INI";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    {
        const IniFile ini(QString::fromStdString(path));
        for (const char* key : {"SockPort", "PktSize", "Mode", "PktUnit"}) ini.readInteger("MainConfig", key, 0);
        ini.readString("MainConfig", "BroadcastAddr", "255.255.255.255");
        ini.readString("RxConfig", "RxTitle");
        ini.readString("TxConfig", "TxRemoteHost");
        for (const char* key : {"PktDelay", "PktBurst", "PktFill"}) ini.readInteger("TxConfig", key, -1);
    }
    std::remove(path.c_str());
    return 0;
}
