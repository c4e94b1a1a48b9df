// Appends a benchmark's figures, one JSON object per line, to the file named by ORU_BENCH_RESULTS
// (default bench-results.jsonl in the current folder), which `make bench` prints as one table.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace bench {

struct Figure {
    std::string area;
    std::string figure;
    double value = 0;
    std::string unit;
    std::optional<std::string> peer;  // what the figure is measured against, if anything
    std::optional<double> peerValue;
    std::string goal;
    bool met = false;
};

inline bool appendFigure(const Figure& f) {
    nlohmann::json line = {{"area", f.area},   {"figure", f.figure}, {"value", f.value}, {"unit", f.unit},
                           {"peer", nullptr},  {"peer_value", nullptr}, {"goal", f.goal}, {"met", f.met}};
    if (f.peer) line["peer"] = *f.peer;
    if (f.peerValue) line["peer_value"] = *f.peerValue;
    const char* env = std::getenv("ORU_BENCH_RESULTS");
    const std::string path = env && *env ? env : "bench-results.jsonl";
    std::FILE* out = std::fopen(path.c_str(), "a");
    if (!out) {
        std::fprintf(stderr, "benchmark: cannot append to %s\n", path.c_str());
        return false;
    }
    const std::string text = line.dump() + "\n";
    const bool ok = std::fputs(text.c_str(), out) >= 0;
    return std::fclose(out) == 0 && ok;
}

}  // namespace bench
