// The console program's work: takes its arguments and output stream, returns the exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace velmora::batch {

int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie);

}  // namespace velmora::batch
