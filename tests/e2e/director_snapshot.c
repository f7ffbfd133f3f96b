/* Screenshots of a window for the director's end-to-end tests, and their comparison.
 *   parade-director-snapshot grab WINDOW_ID OUT   writes "W H\n" and W*H RGB bytes
 *   parade-director-snapshot diff A B             prints "changed=F lit=F": the fractions of
 *       pixels that differ by more than 40 in a channel, and of pixels of A that are not dark
 *   parade-director-snapshot rms A B              prints "rms=F": the root mean square of the
 *       channels' differences, as a fraction of 255
 */
#include <math.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int grab(const char* id, const char* path) {
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    Window window = (Window)strtoul(id, NULL, 0);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        fprintf(stderr, "no window %s\n", id);
        return 1;
    }
    /* The window may reach past the screen's edge (GLUT places it at -1, -1): read the part
     * of the screen that it covers. */
    Window root = DefaultRootWindow(display), child;
    int x0, y0;
    XTranslateCoordinates(display, window, root, 0, 0, &x0, &y0, &child);
    int x1 = x0 + attributes.width, y1 = y0 + attributes.height;
    x0 = x0 < 0 ? 0 : x0;
    y0 = y0 < 0 ? 0 : y0;
    x1 = x1 > DisplayWidth(display, 0) ? DisplayWidth(display, 0) : x1;
    y1 = y1 > DisplayHeight(display, 0) ? DisplayHeight(display, 0) : y1;
    if (x1 <= x0 || y1 <= y0) {
        fprintf(stderr, "window %s is off the screen\n", id);
        return 1;
    }
    attributes.width = x1 - x0;
    attributes.height = y1 - y0;
    XImage* image = XGetImage(display, root, x0, y0, (unsigned)attributes.width,
                              (unsigned)attributes.height, AllPlanes, ZPixmap);
    if (!image) {
        fprintf(stderr, "cannot read window %s\n", id);
        return 1;
    }
    FILE* out = fopen(path, "wb");
    if (!out) {
        perror(path);
        return 1;
    }
    fprintf(out, "%d %d\n", attributes.width, attributes.height);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x) {
            unsigned long p = XGetPixel(image, x, y);
            unsigned char rgb[3] = {(unsigned char)((p & image->red_mask) >> 16),
                                    (unsigned char)((p & image->green_mask) >> 8),
                                    (unsigned char)(p & image->blue_mask)};
            fwrite(rgb, 1, 3, out);
        }
    XDestroyImage(image);
    XCloseDisplay(display);
    return fclose(out) == 0 ? 0 : 1;
}

static unsigned char* load(const char* path, int* width, int* height) {
    FILE* in = fopen(path, "rb");
    if (!in) {
        perror(path);
        return NULL;
    }
    unsigned char* pixels = NULL;
    if (fscanf(in, "%d %d", width, height) == 2 && fgetc(in) == '\n' && *width > 0 && *height > 0 &&
        *width <= 8192 && *height <= 8192) {
        size_t size = (size_t)*width * (size_t)*height * 3;
        pixels = malloc(size);
        if (pixels && fread(pixels, 1, size, in) != size) {
            free(pixels);
            pixels = NULL;
        }
    }
    fclose(in);
    if (!pixels)
        fprintf(stderr, "%s is not a snapshot\n", path);
    return pixels;
}

/* Loads two snapshots of one size into *pa and *pb (their pixel count in *count); 0 when both
   are there. */
static int loadPair(const char* a, const char* b, unsigned char** pa, unsigned char** pb,
                    long* count) {
    int wa, ha, wb, hb;
    *pa = load(a, &wa, &ha);
    *pb = load(b, &wb, &hb);
    if (!*pa || !*pb || wa != wb || ha != hb) {
        fprintf(stderr, "snapshots missing or of different sizes\n");
        return 1;
    }
    *count = (long)wa * ha;
    return 0;
}

static int diff(const char* a, const char* b) {
    unsigned char *pa, *pb;
    long count;
    if (loadPair(a, b, &pa, &pb, &count))
        return 1;
    long changed = 0, lit = 0;
    for (long i = 0; i < count; ++i) {
        int differs = 0, bright = 0;
        for (int c = 0; c < 3; ++c) {
            int d = pa[i * 3 + c] - pb[i * 3 + c];
            differs |= d > 40 || d < -40;
            bright |= pa[i * 3 + c] > 24;
        }
        changed += differs;
        lit += bright;
    }
    printf("changed=%.4f lit=%.4f\n", (double)changed / count, (double)lit / count);
    free(pa);
    free(pb);
    return 0;
}

static int rms(const char* a, const char* b) {
    unsigned char *pa, *pb;
    long count;
    if (loadPair(a, b, &pa, &pb, &count))
        return 1;
    double sum = 0.0;
    for (long i = 0; i < count * 3; ++i) {
        double d = pa[i] - pb[i];
        sum += d * d;
    }
    printf("rms=%.5f\n", sqrt(sum / (count * 3)) / 255.0);
    free(pa);
    free(pb);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "grab") == 0)
        return grab(argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "diff") == 0)
        return diff(argv[2], argv[3]);
    if (argc == 4 && strcmp(argv[1], "rms") == 0)
        return rms(argv[2], argv[3]);
    fprintf(stderr, "usage: %s grab WINDOW_ID OUT | diff A B | rms A B\n", argv[0]);
    return 2;
}
