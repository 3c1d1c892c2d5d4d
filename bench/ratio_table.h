#pragma once
// The closing table of a benchmark program: each figure beside its floor, the ratio of the two,
// and the goal it is held to, one line each.
#include <ostream>
#include <string>
#include <vector>

namespace ZerinBench {

struct Goal {
  double maxRatio = 0;   // figure / floor at most this (0: no such bound)
  double minRatio = 0;   // figure / floor at least this, for rates (0: none)
  double maxFigure = 0;  // the figure itself at most this (0: none)
  bool zero = false;     // the figure must be 0 (allocations)
};

struct Row {
  std::string name;
  double figure = 0;
  double floor = 0;
  std::string unit;  // of figure and floor
  Goal goal;
  bool measured = true;  // false: the run failed or was skipped
};

// "met", "MISSED" or "-" (not measured).
std::string verdict(const Row& row);
void printTable(std::ostream& out, const std::string& title, const std::vector<Row>& rows);

}  // namespace ZerinBench
