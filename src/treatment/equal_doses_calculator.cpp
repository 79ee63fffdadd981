#include "equal_doses_calculator.h"
