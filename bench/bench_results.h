// Appends a benchmark's figure as one JSON line to the file named by ORU_BENCH_RESULTS (default
// bench-results.jsonl in the current folder); `make bench` prints them all as one table at its end
// (bench_results.py describes the fields).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace bench {

struct Figure {
    std::string area;
    std::string figure;
    double value = 0;
    std::string unit;
    std::optional<std::string> peer;  // what the figure is measured against in the same run
    std::optional<double> peerValue;
    std::optional<std::string> goal;  // nothing: a figure shown without a goal
    std::optional<bool> met;
};

inline bool appendResult(const Figure& f) {
    const char* named = std::getenv("ORU_BENCH_RESULTS");
    const std::string path = named && *named ? named : "bench-results.jsonl";
    auto orNull = [](const auto& v) { return v ? nlohmann::json(*v) : nlohmann::json(nullptr); };
    const nlohmann::json line = {{"area", f.area},       {"figure", f.figure},           {"value", f.value},
                                 {"unit", f.unit},       {"peer", orNull(f.peer)},       {"peer_value", orNull(f.peerValue)},
                                 {"goal", orNull(f.goal)}, {"met", orNull(f.met)}};
    std::ofstream out(path, std::ios::app);
    out << line.dump() << '\n';
    out.flush();
    if (!out) std::fprintf(stderr, "benchmark: cannot append to %s\n", path.c_str());
    return bool(out);
}

}  // namespace bench
