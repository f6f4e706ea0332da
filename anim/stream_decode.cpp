#include "anim/anim_export.h"
