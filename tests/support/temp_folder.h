// Temporary files of the tests go where TMPDIR says (/tmp without it), so that a run with an
// empty TMPDIR of its own shows whatever a test leaves behind.
#pragma once

#include <cstdlib>
#include <string>

#include <stdlib.h>

inline std::string tempRoot() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// Makes a fresh folder named PREFIX-XXXXXX there; returns its path, or "" when it cannot.
inline std::string makeTempFolder(const std::string& prefix) {
    std::string pattern = tempRoot() + "/" + prefix + "-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}
