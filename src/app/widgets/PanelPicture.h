#pragma once
// Widgets that repaint cheaply when only their text or handle changes.
//
// A line edit is not opaque, so each new text repaints the group box beneath
// it, then the style's rounded frame, then the text. KeepPanelPicture draws
// the frame and what lies beneath it once into a picture per look (size,
// place, state, palette), makes the box opaque, and a repaint copies the
// picture and draws the text over it: the same pixels, without the parent
// and the frame.
//
// A scroll bar whose range grows moves or resizes its handle, and the style
// paints groove, handle and arrows again, the groove as a gradient the
// bar's length. KeepGroovePicture keeps the groove (and what lies beneath
// it) as a picture per look and draws the rest over it as the style does:
// Fusion draws the groove first, so the pixels are the same (with other
// styles the bar is drawn whole, as before).

class QLineEdit;
class QScrollBar;

namespace korvane {

void KeepPanelPicture(QLineEdit* edit);
void KeepGroovePicture(QScrollBar* bar);

}  // namespace korvane
