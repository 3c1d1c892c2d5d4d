#pragma once
// Google Benchmark's console output, closed by the ratio table: each benchmark reports its
// figure and its floor as counters, and the program turns them into rows.
#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ratio_table.h"

namespace ZerinBench {

// The counters of every run by its name; of repeated runs, the median.
using Counters = std::map<std::string, std::map<std::string, double>>;
using RowBuilder = std::function<std::vector<Row>(const Counters&)>;

// A row from two counters of one run (the same counter twice for a figure held to zero). Not
// measured when the run failed or lacks one of them.
Row counterRow(const Counters& counters, const std::string& name, const std::string& run, const std::string& figure,
               const std::string& floor, const std::string& unit, Goal goal);

// The main of a benchmark program: runs what the command line selects, then prints the table.
int runWithTable(int argc, char** argv, const std::string& title, RowBuilder rows);

}  // namespace ZerinBench
