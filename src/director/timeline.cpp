// The timeline: which backdrop, layer motion and act belong to each range of the demo time.
#include "director.h"

int backdropNumber = 0;
