// Storage of the picture slots.
#include "common/image_table.h"

Image* image_table[kImageSlots] = {};
