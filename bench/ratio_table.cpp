#include "ratio_table.h"

#include <cstdio>

namespace ZerinBench {

namespace {

std::string number(double value) {
  char text[32];
  if (value != 0 && (value >= 1e6 || value < 0.01))
    std::snprintf(text, sizeof text, "%.3g", value);
  else
    std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string goalText(const Goal& goal, const std::string& unit) {
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (goal.zero) add("= 0");
  if (goal.maxRatio > 0) add("<= " + number(goal.maxRatio) + "x");
  if (goal.minRatio > 0) add(">= " + number(goal.minRatio) + "x");
  if (goal.maxFigure > 0) add("< " + number(goal.maxFigure) + " " + unit);
  return text.empty() ? "-" : text;
}

}  // namespace

std::string verdict(const Row& row) {
  const Goal& goal = row.goal;
  if (!row.measured || !(goal.zero || goal.maxRatio > 0 || goal.minRatio > 0 || goal.maxFigure > 0)) return "-";
  const double ratio = row.floor > 0 ? row.figure / row.floor : 0;
  bool met = true;
  if (goal.zero && row.figure != 0) met = false;
  if (goal.maxRatio > 0 && (row.floor <= 0 || ratio > goal.maxRatio)) met = false;
  if (goal.minRatio > 0 && (row.floor <= 0 || ratio < goal.minRatio)) met = false;
  if (goal.maxFigure > 0 && row.figure >= goal.maxFigure) met = false;
  return met ? "met" : "MISSED";
}

void printTable(std::ostream& out, const std::string& title, const std::vector<Row>& rows) {
  char line[256];
  out << "\n" << title << "\n";
  std::snprintf(line, sizeof line, "%-44s %12s %12s %-7s %8s  %-22s %s\n", "measure", "figure", "floor", "unit",
                "ratio", "goal", "");
  out << line << std::string(118, '-') << "\n";
  for (const Row& row : rows) {
    const std::string ratio = row.measured && row.floor > 0 ? number(row.figure / row.floor) + "x" : "-";
    std::snprintf(line, sizeof line, "%-44s %12s %12s %-7s %8s  %-22s %s\n", row.name.c_str(),
                  row.measured ? number(row.figure).c_str() : "-", row.measured ? number(row.floor).c_str() : "-",
                  row.unit.c_str(), ratio.c_str(), goalText(row.goal, row.unit).c_str(), verdict(row).c_str());
    out << line;
  }
  out.flush();
}

}  // namespace ZerinBench
