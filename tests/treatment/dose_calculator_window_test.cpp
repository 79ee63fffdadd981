#include "treatment_fixture.h"
