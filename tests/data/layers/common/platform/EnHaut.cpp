// Fixture of the layering check: platform reaching up to configuration.
#include "common/config/Config.h"
