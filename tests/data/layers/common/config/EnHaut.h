// Fixture of the layering check: a configuration file reaching up to translation.
#include "common/i18n/Traduction.h"
#include "common/text/Commun.h"
