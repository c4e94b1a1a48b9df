// Plugging: copies production data records into the firmware image at the addresses its plug
// records name, and writes the image's file name into the file-name plug.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "firmware/firmware_info.h"
#include "firmware/pdr_list.h"
#include "firmware/srec_reader.h"

namespace firmware {

// The name patched into the file-name plug: the base name (after the last '\', ':' or '/') of
// `fileName` or, without one, the versions of the image.
std::string FileNamePlugText(const std::optional<std::string>& fileName, const FirmwareInfo& info);

// Plugs `image` and returns the number of production data records plugged.
unsigned PlugImage(LoadedImage& image, const PdrList& pdrs, const std::optional<std::string>& fileName,
                   std::ostream& out);

}  // namespace firmware
