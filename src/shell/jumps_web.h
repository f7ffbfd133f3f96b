// The page's own idle, display and special-key handlers (jumps_web.cpp), registered over the
// desktop's once the show starts: jumps wait for the next frame and add up, and the show's end
// leaves the program running so the viewer can go back into the show.
#pragma once

void useWebCallbacks();
