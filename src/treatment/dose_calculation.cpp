#include "dose_calculation.h"
