#include "drug_reference.h"
