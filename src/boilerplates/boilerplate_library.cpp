#include "boilerplate_library.h"
