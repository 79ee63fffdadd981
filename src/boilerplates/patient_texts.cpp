#include "patient_texts.h"
