#include "boilerplates_fixture.h"
