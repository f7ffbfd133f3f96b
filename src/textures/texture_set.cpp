// The fixed set of seventeen pictures, each in a slot of its own, loaded in table order.
#include "textures.h"

GLuint texHappy2 = 0, texHappy3 = 0, texKuvio = 0, texTurin = 0, texTurin2 = 0, texMilan = 0,
       texSponssi = 0, texLogo = 0, texGreets = 0, texHappy4 = 0, texSponssi1 = 0, texSponssi2 = 0,
       texPutket3 = 0, texH1 = 0, texH2 = 0, texH3 = 0, texRenpils = 0;

namespace {

struct TextureSlot {
    const char* path;
    GLuint* slot;
};

// Load order matters: texture names are handed out in creation order, and the last picture
// stays bound for the frames that bind no backdrop of their own.
const TextureSlot textureSlots[textureSetSize] = {
    {"deita/happy2.jpg", &texHappy2},     {"deita/happy3.jpg", &texHappy3},
    {"deita/kuvio.jpg", &texKuvio},       {"deita/turin.jpg", &texTurin},
    {"deita/turin2.jpg", &texTurin2},     {"deita/milan.jpg", &texMilan},
    {"deita/sponssi.jpg", &texSponssi},   {"deita/logo.jpg", &texLogo},
    {"deita/greets.jpg", &texGreets},     {"deita/happy4.jpg", &texHappy4},
    {"deita/sponssi1.jpg", &texSponssi1}, {"deita/sponssi2.jpg", &texSponssi2},
    {"deita/putket3.jpg", &texPutket3},   {"deita/h1.jpg", &texH1},
    {"deita/h2.jpg", &texH2},             {"deita/h3.jpg", &texH3},
    {"deita/renpils.jpg", &texRenpils},
};

} // namespace

void loadTextureSet() {
    for (const TextureSlot& entry : textureSlots)
        *entry.slot = loadTexture(entry.path);
}
