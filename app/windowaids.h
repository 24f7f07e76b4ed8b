#pragma once
// What makes the main window usable from the keyboard and on any screen: the Tab order through
// every control, the buttons' mnemonics, a tooltip per process button, and the window's first
// size on its screen.
class QScreen;

namespace vistrel::app {

class TForm1;

// Mnemonics, tooltips and the Tab order of the window's controls.
void applyKeyboardAids(TForm1& form);

// The window's size for the screen it opens on: as designed where the screen's free area holds
// more, grown on a large screen, and no larger than the free area (nor smaller than the layout
// needs); centred on it.
void fitToScreen(TForm1& form, const QScreen* screen);

// The window's size as designed.
inline constexpr int kDesignedWidth = 1276;
inline constexpr int kDesignedHeight = 693;

} // namespace vistrel::app
