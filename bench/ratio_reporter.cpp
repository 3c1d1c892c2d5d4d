#include "ratio_reporter.h"

#include <iostream>

namespace ZerinBench {

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter(std::string title, RowBuilder rows) : title(std::move(title)), rows(std::move(rows)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      const std::string name = run.run_name.function_name;
      // A median replaces the single runs it summarises.
      if (!median && medians.count(name)) continue;
      if (median) medians[name] = true;
      auto& kept = counters[name];
      kept.clear();
      for (const auto& [key, counter] : run.counters) kept[key] = counter.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    printTable(GetOutputStream(), title, rows(counters));
  }

 private:
  std::string title;
  RowBuilder rows;
  Counters counters;
  std::map<std::string, bool> medians;
};

}  // namespace

Row counterRow(const Counters& counters, const std::string& name, const std::string& run, const std::string& figure,
               const std::string& floor, const std::string& unit, Goal goal) {
  Row row;
  row.name = name;
  row.unit = unit;
  row.goal = goal;
  const auto found = counters.find(run);
  if (found == counters.end() || !found->second.count(figure) || !found->second.count(floor)) {
    row.measured = false;
    return row;
  }
  row.figure = found->second.at(figure);
  row.floor = figure == floor ? 0 : found->second.at(floor);
  return row;
}

int runWithTable(int argc, char** argv, const std::string& title, RowBuilder rows) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(title, std::move(rows));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace ZerinBench
