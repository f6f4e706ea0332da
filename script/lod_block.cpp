#include "script/build_script.h"

int WriteLodBlock(const ModelFile&, const StripFile&, OutputFile&) { return 1; }
