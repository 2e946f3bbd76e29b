#include "app/widgets/SystemLocale.h"

#include <QLocale>
#include <QString>

namespace korvane {

char SystemDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  if (point.size() == 1 && point.at(0).unicode() < 0x80) return static_cast<char>(point.at(0).unicode());
  return '.';
}

}  // namespace korvane
