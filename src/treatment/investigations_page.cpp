#include "investigations_page.h"
