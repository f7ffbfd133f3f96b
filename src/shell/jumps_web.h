// The page's own idle and display handlers (jumps_web.cpp), registered over the desktop's once
// the show starts: the show's end leaves the program running so the viewer can go back into
// the show, and the bar held at the end keeps it there.
#pragma once

void useWebCallbacks();
