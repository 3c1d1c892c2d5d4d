// The simulator's configuration file.
#include "simulator_config.h"

namespace ZerinSim {

ConfigOutcome parseConfig(const std::string&, const std::string& name) {
  ConfigOutcome outcome;
  outcome.error = name + ": configuration files are not read yet";
  return outcome;
}

ConfigOutcome loadConfig(const std::string& path) { return parseConfig("", path); }

}  // namespace ZerinSim
