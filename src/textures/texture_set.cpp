// The fixed set of seventeen pictures, each in a slot of its own, loaded in table order.
#include "textures.h"

GLuint texHappy2 = 0, texHappy3 = 0, texKuvio = 0, texTurin = 0, texTurin2 = 0, texMilan = 0,
       texSponssi = 0, texLogo = 0, texGreets = 0, texHappy4 = 0, texSponssi1 = 0, texSponssi2 = 0,
       texPutket3 = 0, texH1 = 0, texH2 = 0, texH3 = 0, texRenpils = 0;
