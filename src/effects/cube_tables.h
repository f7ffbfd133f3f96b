// Constant tables and integer rules shared by the cube effects: the letter layers, the logo
// grid and the hashes that choose wire or solid cubes. Kept apart so tools and tests can read
// them without drawing.
#pragma once

#include <array>
#include <cstdint>

// The display lists the cube effects call: solid and wire cube, edge 1.25.
constexpr unsigned solidCubeList = 667;
constexpr unsigned wireCubeList = 668;

constexpr int letterLayerCount = 4;
constexpr int letterRows = 8;
constexpr int letterColumns = 15;

// Layer L, row j, column i is element 120*L + 15*j + i; 1 carries a cube. Layers A, K, 4, 7.
extern const std::array<int32_t, letterLayerCount * letterRows * letterColumns> letterTable;

constexpr int logoRows = 10;
constexpr int logoColumns = 48;

// Row j, column i is element 48*j + i; 0 carries a cube, 1 is empty. Spells qvh.
extern const std::array<int32_t, logoRows * logoColumns> logoCells;

// Solid/wire hash of cube i of a wheel, 0..4095; `texture` is the name in texHappy2.
int wheelHash(int variant, int offset, int i, uint32_t texture);

// Solid/wire and branch hash of row b of the cube field at time t, 0..4095.
int fieldHash(float t, int b, uint32_t texture);
