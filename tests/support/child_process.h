#pragma once
#include <string>
#include <utility>
#include <vector>

namespace ZerinTest {

struct ChildResult {
  int exitCode = -1;
  std::string output;  // the child's standard output
};

// The path of this test program.
std::string programPath();

// Sets (or, for a null `value`, removes) a variable of this process's environment, which the
// programs it starts inherit.
void setEnvironmentVariable(const std::string& name, const std::string* value);

// Runs this test program again with only `testName` (a DISABLED_ test, so it never runs on its
// own) and the given environment variables set; for behaviour fixed once per process.
ChildResult runTestInChild(const std::string& testName,
                           const std::vector<std::pair<std::string, std::string>>& environment);

}  // namespace ZerinTest
