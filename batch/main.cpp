#include <iostream>

#include "batch/Batch.h"
#include "common/platform/Process.h"

int main(int argc, char** argv) {
    // SIGINT and SIGTERM stop the tool being run (and its children), then the run ends at the
    // next machine and the program ends as the signal asked.
    velmora::platform::InstallerArretParSignaux();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const int code = velmora::batch::ExecuterBatch(arguments, std::cout);
    std::cout.flush();
    velmora::platform::TerminerSiSignalRecu();
    return code;
}
