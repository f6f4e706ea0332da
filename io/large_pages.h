// Large pages for large buffers filled once.
#pragma once

#include <cstddef>

// Asks the system to back the whole pages of [data, data + length) with
// large pages where it can, for ranges of at least one large page. Fresh
// memory costs a fault per page on its first write; a buffer of tens of MB
// filled by one read or one writer takes a few hundred times fewer faults in
// 2 MB pages. Advice only: nothing changes where the system declines.
void AdviseLargePages(void* data, size_t length);
