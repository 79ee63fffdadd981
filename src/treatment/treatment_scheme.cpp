#include "treatment_scheme.h"
