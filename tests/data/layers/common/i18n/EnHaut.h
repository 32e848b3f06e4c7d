// Fixture of the layering check: translation reaching up to the network.
#include "common/config/IniFile.h"
#include "common/net/Sondes.h"
