#pragma once
// Line edits that repaint cheaply when their text changes. A line edit is
// not opaque, so each new text repaints the group box beneath it, then the
// style's rounded frame, then the text. Here the frame and what lies beneath
// it are drawn once into a picture per look (size, place, state, palette),
// the box becomes opaque, and a repaint copies the picture and draws the
// text over it: the same pixels, without the parent and the frame.

class QLineEdit;

namespace korvane {

void KeepPanelPicture(QLineEdit* edit);

}  // namespace korvane
