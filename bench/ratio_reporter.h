// ratio_reporter.h - a console reporter that also keeps each case's CPU time per
// iteration, so a benchmark against a peer can print both times and their ratio after
// the run: the median when the run reports aggregates, else the fastest repetition.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> fastest, median;  // run name -> ns per iteration

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            const double ns = run.cpu_accumulated_time * 1e9 / double(run.iterations);
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") median[name] = ns;
            if (run.run_type != Run::RT_Iteration) continue;
            auto it = fastest.find(name);
            if (it == fastest.end() || ns < it->second) fastest[name] = ns;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    const double* Time(const std::string& name) const {
        for (const auto* times : {&median, &fastest}) {
            const auto it = times->find(name);
            if (it != times->end()) return &it->second;
        }
        return nullptr;
    }
    // One table row: our time, the peer's (run name + peerSuffix) and ours / peer.
    void PrintRow(const std::string& name, const std::string& peerSuffix) const {
        const double *ours = Time(name), *peer = Time(name + peerSuffix);
        if (ours == nullptr) return;
        if (peer == nullptr) {
            std::printf("%-36s %12.1f %12s %8s\n", name.c_str(), *ours / 1e3, "-", "-");
            return;
        }
        std::printf("%-36s %12.1f %12.1f %8.2f\n", name.c_str(), *ours / 1e3, *peer / 1e3, *ours / *peer);
    }
};
