// Traces which display lists an effect calls, and where: the lists 667, 668 and 200-225 are
// replaced by markers that pass their id through feedback and emit the origin and the three
// unit axes as points, so each call yields its id, its model-view matrix (in eye units) and
// its material colour.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

using Vec3 = std::array<double, 3>;

struct ListCall {
    int id = 0;
    std::vector<Vec3>
        points; // origin, then the images of (1,0,0), (0,1,0), (0,0,1); clipped ones are missing
    std::array<float, 4> colour{};

    bool whole() const { return points.size() == 4; }
    Vec3 origin() const { return points.at(0); }
    // Image of the unit vector along `axis` (0, 1, 2), relative to the origin.
    Vec3 axis(int axis) const;
};

// Opens the test window, compiles the marker lists, and sets an orthographic projection of one
// pixel per eye unit with lighting that turns the material colour into the vertex colour.
void setUpListTrace();

// Runs `draw` with the model-view matrix at the identity and returns the list calls in order.
std::vector<ListCall> traceLists(const std::function<void()>& draw);

// The matrix that cameraPose(slot) multiplies in at the current demo time (column major).
std::array<double, 16> cameraMatrix(int slot);

// m * (v, 1) for a column-major matrix.
Vec3 transformPoint(const std::array<double, 16>& m, const Vec3& v);

double distance(const Vec3& a, const Vec3& b);
double length(const Vec3& v);

// With the clock held at 0 by the tests, a stamp of -rows/64 makes SyncPoint `sync`'s envelopes
// `rowsAgo` rows old; silenceAll leaves every SyncPoint long past its last strike.
void strike(int sync, float rowsAgo);
void silenceAll();

// The fixture of the effect tests: the trace window once, the clock on the virtual counter held
// at 0; before each test every SyncPoint silent, the effect selector 0 and texture name 1 in
// texHappy2 (which the cube hashes read).
class EffectTrace : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;
};
