#include "app/widgets/AboutForm.h"

#include <QLabel>
#include <QVBoxLayout>

namespace korvane {

TAboutFrm::TAboutFrm(QWidget* owner) : QWidget(owner, Qt::Window) {
  setObjectName("AboutFrm");
  setWindowTitle("About");
  setFixedSize(173, 140);
  setAccessibleName("About");

  auto* layout = new QVBoxLayout(this);
  const char* lines[][2] = {
      {"LblVersion", "Korvane Version 1.5.1"},
      {"LblPurpose", "PID controller tuning"},
      {"LblProtocol", "Modbus RTU and ASCII"},
  };
  for (const auto& line : lines) {
    auto* label = new QLabel(line[1], this);
    label->setObjectName(line[0]);
    label->setAlignment(Qt::AlignCenter);
    label->setAccessibleName(line[1]);
    layout->addWidget(label);
  }
}

void TAboutFrm::ShowForward() {
  show();
  raise();
  activateWindow();
}

}  // namespace korvane
