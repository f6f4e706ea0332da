#include "mathlib/rotation.h"
