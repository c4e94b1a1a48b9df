// Airmeter's settings file: the document reader, every setting the windows read, and a change
// written back as the program stores it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    airmeter::IniDocument document(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const char* key : {"SockPort", "PktSize", "Mode", "PktUnit", "BroadcastAddr"}) document.value("MainConfig", key);
    document.value("RxConfig", "RxTitle");
    for (const char* key : {"TxRemoteHost", "PktDelay", "PktBurst", "PktFill"}) document.value("TxConfig", key);
    document.set("MainConfig", "SockPort", "1500");
    document.setDefault("TxConfig", "PktFill", "-1");
    airmeter::IniDocument(document.text());
    return 0;
}
