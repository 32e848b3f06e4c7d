// Any machine line reads without failing, and the line written back reads as the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/config/Machine.h"
#include "common/text/Commun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string ligne(reinterpret_cast<const char*>(data), size);
    const velmora::Machine m = velmora::LireLigneMachine(ligne);
    if (!(velmora::LireLigneMachine(velmora::LigneMachine(m)) == m)) {
        // Fields that hold "|" cannot come from a split at "|".
        std::abort();
    }
    (void)velmora::DecoderMotDePasse(m.motDePasse);
    (void)velmora::EstAdresseIP(m.adresse);
    (void)velmora::EstAdresseMAC(m.adresseMAC);
    (void)velmora::Correspond(m.nom, m.commentaire);
    return 0;
}
