#include "app/widgets/FormControls.h"

#include <QCheckBox>
#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace korvane {

namespace {

QString Spoken(const QString& caption) {
  QString text = caption;
  text.remove('&');
  if (text.endsWith(':')) text.chop(1);
  return text.trimmed();
}

}  // namespace

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  label->setAccessibleName(Spoken(caption));
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, QLabel* label, const QString& text) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  if (label != nullptr) {
    label->setBuddy(edit);
    edit->setAccessibleName(Spoken(label->text()));
  }
  return edit;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& caption) {
  auto* check = new QCheckBox(caption, parent);
  check->setObjectName(name);
  check->setAccessibleName(Spoken(caption));
  return check;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& accessibleName) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAccessibleName(accessibleName);
  button->setAutoDefault(false);
  return button;
}

QLabel* MakeColourKey(QWidget* parent, const char* name, const QColor& colour,
                      const QString& accessibleName) {
  auto* key = new QLabel("____", parent);
  key->setObjectName(name);
  QFont font = key->font();
  font.setPixelSize(24);
  key->setFont(font);
  QPalette palette = key->palette();
  palette.setColor(QPalette::WindowText, colour);
  key->setPalette(palette);
  key->setAccessibleName(accessibleName);
  return key;
}

}  // namespace korvane
