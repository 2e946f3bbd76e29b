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
// paints groove, arrows and handle again, the groove as a gradient the
// bar's length. KeepGroovePicture keeps the bar without its handle as a
// picture per look and draws only the handle over it (the style draws the
// handle after the groove and beside the arrows, so the pixels are the same).

class QLineEdit;
class QScrollBar;

namespace korvane {

void KeepPanelPicture(QLineEdit* edit);
void KeepGroovePicture(QScrollBar* bar);

}  // namespace korvane
