// Micro-benchmarks of the number fields and of one table row, beside a snprintf("%#.6G")
// baseline in the same binary: the plain 15/6 and 25/15 general fields, the fast compact 15/6
// field the table writes, and a row built as the table builds it (fresh string, or one string
// reused as the file's buffer is). After the usual table the run prints how many times faster
// each field is than the baseline.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "table/curve_table.hpp"
#include "table/sweep.hpp"
#include "textio/compact_field.hpp"
#include "textio/output_fields.hpp"

namespace {

using namespace mosfet;

// What the table writes: currents of the workload's curves in milliamperes, accumulated drain
// voltages, zeros, and small values that take the exponent form.
std::vector<double> realistic_values() {
    const table::SweepPlan plan = table::plan_sweep(model::ModelParameters{}, 0.5, 18);
    std::vector<double> values;
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> drain(0.0, 50.0);
    double vd = 0.0;
    while (values.size() < 4096) {
        vd = 0.0001 + vd;
        values.push_back(vd * 1000.0);  // a drain voltage far along the sweep
        const double sample = drain(random);
        values.push_back(sample);
        for (std::int64_t i = 0; i < 19; i += 3) {
            values.push_back(table::curve_current_mA(plan, sample, i));  // zeros for i = 0
        }
        values.push_back(table::table_row(plan, sample / 1000.0).Bound);  // exponent form
    }
    values.resize(4096);
    return values;
}

const std::vector<double>& values() {
    static const std::vector<double> v = realistic_values();
    return v;
}

void general_15_6(benchmark::State& state) {
    std::array<char, 16> field{};
    std::size_t i = 0;
    for (auto _ : state) {
        textio::format_general(values()[i++ & 4095], 15, 6, field.data());
        benchmark::DoNotOptimize(field.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(general_15_6);

// The fast path of the table: the same field without its blanks, written in place.
void general_15_6_compact(benchmark::State& state) {
    std::array<char, textio::compact_general_room> field{};
    std::size_t i = 0;
    for (auto _ : state) {
        textio::compact_general_15_6(values()[i++ & 4095], field.data());
        benchmark::DoNotOptimize(field.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(general_15_6_compact);

void general_25_15(benchmark::State& state) {
    std::array<char, 26> field{};
    std::size_t i = 0;
    for (auto _ : state) {
        textio::format_general(values()[i++ & 4095], 25, 15, field.data());
        benchmark::DoNotOptimize(field.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(general_25_15);

void snprintf_baseline(benchmark::State& state) {
    std::array<char, 32> text{};
    std::size_t i = 0;
    for (auto _ : state) {
        std::snprintf(text.data(), text.size(), "%#.6G", values()[i++ & 4095]);
        benchmark::DoNotOptimize(text.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(snprintf_baseline);

// One row of the workload's table: drain voltage, Bound and 19 currents.
void table_row_line(benchmark::State& state) {
    const table::SweepPlan plan = table::plan_sweep(model::ModelParameters{}, 0.5, 18);
    std::size_t i = 0;
    for (auto _ : state) {
        const double vd = values()[i++ & 4095] / 100.0;
        std::string line = table::row_line(plan, table::table_row(plan, vd));
        benchmark::DoNotOptimize(line.data());
    }
}
BENCHMARK(table_row_line);

// The same row built piece by piece as the file's rows are, in one string reused from row to row
// (no allocation once it has grown), as the file's buffer is.
void table_row_line_fast(benchmark::State& state) {
    const table::SweepPlan plan = table::plan_sweep(model::ModelParameters{}, 0.5, 18);
    std::string line;
    std::size_t i = 0;
    for (auto _ : state) {
        const double vd = values()[i++ & 4095] / 100.0;
        line.clear();
        table::append_row_line(line, plan, table::table_row(plan, vd));
        benchmark::DoNotOptimize(line.data());
    }
}
BENCHMARK(table_row_line_fast);

// Keeps the time per iteration of every benchmark for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) {
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
    }
    const std::map<std::string, double>& times() const { return times_; }

  private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& times = reporter.times();
    const auto baseline = times.find("snprintf_baseline");
    if (baseline != times.end()) {
        for (const auto& [name, time] : times) {
            if (name != baseline->first && name.rfind("general", 0) == 0) {
                std::printf("%-20s %5.1f times faster than snprintf(\"%%#.6G\")\n", name.c_str(),
                            baseline->second / time);
            }
        }
    }
    benchmark::Shutdown();
    return 0;
}
