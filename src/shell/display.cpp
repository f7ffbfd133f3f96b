// What the display files of every desktop share: the command line's -display and -geometry,
// and reading a list of extensions.
#include "shell.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

bool extensionListed(const char* list, const char* name) {
    const size_t length = std::strlen(name);
    if (!list || length == 0)
        return false;
    for (const char* at = list; (at = std::strstr(at, name)) != nullptr; at += length) {
        const bool starts = at == list || at[-1] == ' ';
        if (starts && (at[length] == ' ' || at[length] == '\0'))
            return true;
    }
    return false;
}

const char* displayArgument(int argc, char** argv, bool& nameMissing) {
    nameMissing = false;
    const char* name = std::getenv("DISPLAY");
    // GLUT reads the same option the same way: the last one counts.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-display") != 0)
            continue;
        if (i + 1 >= argc) {
            nameMissing = true;
            return nullptr;
        }
        name = argv[++i];
    }
    return name;
}

int wantedSwapInterval() {
    const char* setting = std::getenv("PARADE_VSYNC");
    return setting && std::strcmp(setting, "0") == 0 ? 0 : 1;
}

bool geometryGivesSize(int argc, char** argv, int& givenWidth, int& givenHeight) {
    const char* geometry = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-geometry") == 0)
            geometry = argv[++i];
    }
    unsigned width = 0, height = 0;
    if (!geometry || !parseGeometrySize(geometry, width, height) || width == 0 || height == 0)
        return false;
    givenWidth = static_cast<int>(std::min(width, 65535u));
    givenHeight = static_cast<int>(std::min(height, 65535u));
    return true;
}
