#include <cstdio>

#include "demo.h"

int main(int argc, char** argv) {
  ZerinDemo::Options options;
  bool help = false;
  std::string error;
  if (!ZerinDemo::parseOptions(argc, argv, options, help, error)) {
    if (help) {
      std::fputs(ZerinDemo::usageText().c_str(), stdout);
      return 0;
    }
    std::fprintf(stderr, "zerin_demo: %s\n\n%s", error.c_str(), ZerinDemo::usageText().c_str());
    return 2;
  }
  const ZerinDemo::Summary summary = ZerinDemo::runDemo(options);
  ZerinDemo::printSummary(options, summary);
  return summary.failures.empty() ? 0 : 1;
}
