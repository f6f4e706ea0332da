// Animation SMD files: one per animation description, named "<name>.smd"
// after the animation, holding the node list and every bone's position and
// rotation for every frame.
//
// Bad input data (a record, name or stream outside the file, a frame that
// falls into a run without values) is reported as one "Bad data" line naming
// the animation, and bone where one is concerned; that animation's file is not
// written and the export goes on with the next animation. Any frame count is
// taken as it is: the run's output limit (io/destination.h) bounds what a
// small file can ask for.
#pragma once

#include "model/conversion.h"

// Calls ExportAnimation for every animation description; returns 1.
int ExportAnimations(Conversion& conv);
// Writes "<name>.smd"; 1 when its file was started, 0 when it could not be.
int ExportAnimation(Conversion& conv, int32_t index);
