// Production data area images as read from an adapter: the area walk and the record-list load.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "firmware/pda_area.h"
#include "firmware/pdr_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint16_t> words = firmware::WordsFromBytes(std::span(data, size));
    firmware::WalkAdapterArea(words);  // with the end record's CRC check
    firmware::PdrList list;
    list.LoadWords(words);
    for (const auto& [code, record] : list.records()) {
        // Every kept record is whole: its length word counts the code and the data words.
        if (record.words.size() < 2 || record.code() != code || record.length() != record.words.size() - 1)
            std::abort();
        record.DataBytes();
    }
    return 0;
}
