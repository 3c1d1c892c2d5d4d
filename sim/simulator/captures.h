#pragma once
#include "simulator.h"

namespace ZerinSim {

class Captures {
 public:
  explicit Captures(Simulator& simulator) : simulator(simulator) {}

 private:
  Simulator& simulator;
};

}  // namespace ZerinSim
