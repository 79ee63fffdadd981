#include "treatment_page.h"
