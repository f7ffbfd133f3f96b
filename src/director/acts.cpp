// The act table: for each effect-selector value, the object effects that one frame draws, in
// order, with their integer arguments.
#include "director.h"

#include "effects.h"

void runAct(int selector) {
    switch (selector) {
    case 0:
    case 17:
        letterLayers(3);
        swirlCloud(1);
        cubeField(4);
        break;
    case 1:
        swirlRings(1);
        cubeFloor(1);
        break;
    case 2:
        cubeField(4);
        cubeWheel(1, -2, 90, 3);
        cubeWheel(0, 0, 0, 2);
        cubeWheel(1, 2, 90, 1);
        break;
    case 3:
        flipbookPair(1);
        swirlCloudCubes(1);
        break;
    case 4:
        flipbookPair(0);
        cubeFloor(0);
        break;
    case 5:
        cubeField(4);
        letterLayers(0);
        break;
    case 6:
        letterLayers(2);
        // Thirteen wheels side by side, the variant alternating from 1.
        for (int i = 0; i < 13; ++i)
            cubeWheel(1 - i % 2, -12 + 2 * i, 0, 3);
        break;
    case 7:
        cubeField(4);
        swirlRings(2);
        break;
    case 8:
        cubeFloor(0);
        logoPicture(0);
        break;
    case 9:
        swirlCloud(3);
        // Eleven wheels side by side, the variant alternating from 0.
        for (int i = 0; i < 11; ++i)
            cubeWheel(i % 2, -15 + 3 * i, 0, 3);
        break;
    case 10:
        cubeFloor(1);
        cubeWheel(1, -2, 1, 3);
        cubeWheel(0, 0, 0, 2);
        cubeWheel(1, 2, 1, 3);
        break;
    case 11:
        flipbookPair(1);
        swirlCloud(0);
        break;
    case 12:
        swirlCloudCubes(3);
        cubeWheel(1, -2, 1, 2);
        cubeWheel(0, 0, 0, 3);
        cubeWheel(1, 2, 1, 2);
        break;
    case 13:
        cubeFloor(3);
        break;
    case 14:
        swirlCloud(1);
        cubeFloor(3);
        break;
    case 15:
        swirlRings(0);
        swirlCloudCubes(0);
        cubeField(4);
        break;
    case 16:
        flipbookSections(1);
        cubeFloor(2);
        break;
    case 18:
        swirlRings(3);
        letterLayers(1);
        cubeField(4);
        break;
    case 19:
        swirlCloudCubes(3);
        swirlCloudCubes(0);
        cubeField(4);
        break;
    case 20:
        cubeFloor(1);
        cubeField(4);
        break;
    case 21:
        cubeFloor(2);
        cubeFloor(1);
        cubeField(4);
        break;
    case 22:
        cubeWheel(1, -2, 90, 1);
        cubeWheel(0, 0, 0, 1);
        cubeWheel(1, 2, 90, 1);
        letterLayers(0);
        break;
    case 23:
        cubeFloor(1);
        for (int offset = -12; offset <= 12; offset += 4)
            cubeWheel(1, offset, 0, 1);
        break;
    case 30:
        flipbookPair(1);
        swirlCloudCubes(3);
        break;
    case 32:
        logoPicture(2);
        cubeField(4);
        break;
    default:
        break;
    }
}
