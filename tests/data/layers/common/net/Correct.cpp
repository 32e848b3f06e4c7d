// Fixture of the layering check: network code using the layers below it, which is allowed.
#include "common/config/Programme.h"
#include "common/i18n/Traduction.h"
#include "common/platform/Outil.h"
#include "common/text/Commun.h"
