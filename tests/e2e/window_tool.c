/* What other X clients do to the demo's window, for the shell's end-to-end tests.
 *   parade-window-tool close WINDOW_ID    asks it to close as a window manager does
 *                                         (a WM_DELETE_WINDOW client message)
 *   parade-window-tool destroy WINDOW_ID  destroys it from this connection
 *   parade-window-tool box WINDOW_ID      prints "W H X Y BW BH": the window's size and the
 *                                         box of its lit pixels (any channel above 24) on the
 *                                         screen, from its top left; "W H 0 0 0 0" when nothing
 *                                         is lit
 */
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int closeWindow(Display* display, Window window) {
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    return 0;
}

static int litBox(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        fprintf(stderr, "window-tool: no window %lu\n", (unsigned long)window);
        return 1;
    }
    /* The window may reach past the screen's edge (GLUT places a full-screen window at -1, -1)
     * and then cannot be read itself: read the part of the screen it covers. */
    Window root = DefaultRootWindow(display), child;
    int x0, y0;
    XTranslateCoordinates(display, window, root, 0, 0, &x0, &y0, &child);
    const int screenWidth = DisplayWidth(display, 0), screenHeight = DisplayHeight(display, 0);
    const int readX = x0 < 0 ? 0 : x0, readY = y0 < 0 ? 0 : y0;
    int readWidth = x0 + attributes.width, readHeight = y0 + attributes.height;
    readWidth = (readWidth > screenWidth ? screenWidth : readWidth) - readX;
    readHeight = (readHeight > screenHeight ? screenHeight : readHeight) - readY;
    if (readWidth <= 0 || readHeight <= 0) {
        fprintf(stderr, "window-tool: the window is off the screen\n");
        return 1;
    }
    XImage* image = XGetImage(display, root, readX, readY, (unsigned)readWidth,
                              (unsigned)readHeight, AllPlanes, ZPixmap);
    if (!image) {
        fprintf(stderr, "window-tool: cannot read the window\n");
        return 1;
    }
    int left = attributes.width, top = attributes.height, right = -1, bottom = -1;
    for (int y = 0; y < readHeight; ++y)
        for (int x = 0; x < readWidth; ++x) {
            unsigned long p = XGetPixel(image, x, y);
            unsigned long r = (p & image->red_mask) >> 16, g = (p & image->green_mask) >> 8,
                          b = p & image->blue_mask;
            if (r > 24 || g > 24 || b > 24) {
                /* In window coordinates. */
                const int wx = readX - x0 + x, wy = readY - y0 + y;
                left = wx < left ? wx : left;
                right = wx > right ? wx : right;
                top = wy < top ? wy : top;
                bottom = wy > bottom ? wy : bottom;
            }
        }
    XDestroyImage(image);
    if (right < 0)
        printf("%d %d 0 0 0 0\n", attributes.width, attributes.height);
    else
        printf("%d %d %d %d %d %d\n", attributes.width, attributes.height, left, top,
               right - left + 1, bottom - top + 1);
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 3 || (strcmp(argv[1], "close") != 0 && strcmp(argv[1], "destroy") != 0 &&
                      strcmp(argv[1], "box") != 0)) {
        fprintf(stderr, "usage: window-tool close|destroy|box WINDOW_ID\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "window-tool: cannot open the display\n");
        return 1;
    }
    Window window = (Window)strtoul(argv[2], NULL, 0);
    int status = 0;
    if (strcmp(argv[1], "close") == 0)
        status = closeWindow(display, window);
    else if (strcmp(argv[1], "destroy") == 0)
        XDestroyWindow(display, window);
    else
        status = litBox(display, window);
    XSync(display, False);
    XCloseDisplay(display);
    return status;
}
