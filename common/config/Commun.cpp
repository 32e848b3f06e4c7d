#include "common/config/Commun.h"
