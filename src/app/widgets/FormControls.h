#pragma once
// Small constructors for the main window's controls: every control gets its
// object name and a name a screen reader reads out.

#include <QString>

class QCheckBox;
class QColor;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace korvane {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption);
// An edit box read out under its label's caption (without the colon).
QLineEdit* MakeEdit(QWidget* parent, const char* name, QLabel* label, const QString& text = {});
QCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& caption);
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& accessibleName);
// The text "____" in a 24-pixel font in a series colour.
QLabel* MakeColourKey(QWidget* parent, const char* name, const QColor& colour,
                      const QString& accessibleName);

}  // namespace korvane
