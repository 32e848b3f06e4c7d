#include "common/config/Programme.h"

namespace velmora {

Programme& Prog() {
    static Programme programme;
    return programme;
}

}  // namespace velmora
