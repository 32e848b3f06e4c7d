#include <iostream>

#include "batch/Batch.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return velmora::batch::ExecuterBatch(arguments, std::cout, std::cerr);
}
