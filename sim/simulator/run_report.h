#pragma once
#include "simulator.h"

namespace ZerinSim {

class RunReport {
 public:
  explicit RunReport(Simulator& simulator) : simulator(simulator) {}

 private:
  Simulator& simulator;
};

}  // namespace ZerinSim
