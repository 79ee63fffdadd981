#include "investigations.h"
