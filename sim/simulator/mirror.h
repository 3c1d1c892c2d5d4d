#pragma once
#include "simulator.h"

namespace ZerinSim {

class Mirror {
 public:
  explicit Mirror(Simulator& simulator) : simulator(simulator) {}

 private:
  Simulator& simulator;
};

}  // namespace ZerinSim
