// The values the viewer steers from the keyboard and the popup menu, and the key and menu
// tables that change them. The director and the wheel read them; the shell's keyboard and menu
// callbacks feed them.
#pragma once

extern int pauseFlag;      // 0 = running; the menu's "(un)Pause" flips it
extern int spaceToggle;    // 1 = layer stack drawn, 0 = hidden
extern int effectSelector; // chosen act; the director overwrites it every frame of the show
// Kept for their keys only: nothing else in the program reads the mode letter or the tuning
// values.
extern char modeLetter; // 'i', 'o' or 'p'
extern float tuningValues[4];

// What a key or menu entry asks of the toolkit once its value has been applied.
enum class ControlResult { nothing, redraw, quit };

// The keyboard handler's work for one key code: updates the control values and says whether
// to request a redraw or to end the demo (Escape).
ControlResult applyKey(unsigned char key);

// The menu handler's work for one entry value ("(un)Pause" 1, "Quit" 2, effects 666 to 695).
ControlResult applyMenu(int value);
