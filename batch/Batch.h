// The console program's work: takes its arguments (without the program name) and its output
// stream, returns the exit code. Everything the console shows goes to `sortie`.
//
// Exit codes: 0 the run ended (also when some machines of a several-machine run failed, and
// for any wake), the usage text, a missing Configuration file, a start-up failure; 1 a
// command-line error or an unexpected error; 2 the folder or the machine was not found; 3 the
// only machine of a remote power action did not answer; 4 it rejected the request.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/net/Operations.h"

namespace velmora::batch {

// With the network operations of the process (net::OperationsCourantes()).
int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie);
// With the given operations (tests pass a fake).
int ExecuterBatch(const std::vector<std::string>& arguments, std::ostream& sortie,
                  net::OperationsReseau& operations);

// Writes the usage text: "VelmoraBatch <version> - <banner>", then the text of SYNTAXE.
void AfficherSyntaxe(class Console& console);

}  // namespace velmora::batch
