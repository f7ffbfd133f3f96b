// Reading a module file into memory, the one way for live playback and offline rendering:
// regular files only, at most largestModuleBytes, every failure a message. Private to the
// music subsystem.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The largest module file either path reads: far above any real module, far below memory.
constexpr uint64_t largestModuleBytes = 256u << 20;

// Reads the whole file at `path` into `bytes`. Returns false with `error` filled ("not a
// regular file", "larger than 256 MB", "cannot open: ...", "cannot read: ..."). Never blocks
// on a FIFO or device and never throws.
bool readModuleFile(const std::string& path, std::vector<char>& bytes, std::string& error);

// Checks, without reading it, that `path` opens as a regular file; false with `error` filled.
bool moduleFileOpens(const std::string& path, std::string& error);
