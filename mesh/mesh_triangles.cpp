#include "mesh/mesh_export.h"
