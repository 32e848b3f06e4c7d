#include <array>

#include "common/i18n/Traduction.h"

namespace velmora::i18n {

const char* CleLibelleAction(int code) {
    static constexpr std::array<const char*, 12> kCles = {"",
                                                          "TXT_REVEILLER",
                                                          "TXT_REVEILLER_VIA_INTERNET",
                                                          "TXT_REDEMARRER",
                                                          "TXT_ETEINDRE",
                                                          "TXT_VERROUILLER_LA_SESSION",
                                                          "TXT_FERMER_LA_SESSION",
                                                          "TXT_METTRE_EN_VEILLE_PROLONGEE",
                                                          "TXT_REDEMARRER_WMI",
                                                          "TXT_POWEROFF_WMI",
                                                          "TXT_ETEINDRE_WMI",
                                                          "TXT_ANNULER_ACTION"};
    return code >= 1 && code <= 11 ? kCles[static_cast<size_t>(code)] : "";
}

}  // namespace velmora::i18n
