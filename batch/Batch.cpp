#include "batch/Batch.h"

namespace velmora::batch {

int ExecuterBatch(const std::vector<std::string>& /*arguments*/, std::ostream& sortie) {
    sortie << "VelmoraBatch [fichier_ini] action [options]\n";
    return 1;
}

}  // namespace velmora::batch
