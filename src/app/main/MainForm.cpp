#include "app/main/MainForm.h"

#include <QAction>
#include <QChart>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/widgets/AboutForm.h"
#include "app/chart/ChartTools.h"
#include "app/config/ConfigFileMenu.h"
#include "app/config/ConfigForm.h"
#include "app/trend/DataLogCommands.h"
#include "app/link/LinkPanels.h"
#include "app/chart/LiveChart.h"
#include "app/main/QtPollView.h"
#include "app/main/StartupCurve.h"
#include "app/trend/TrendForm.h"
#include "app/main/TickCount.h"
#include "app/tuning/TuningForm.h"

namespace korvane {

namespace {

QTimer* MakeTimer(QObject* owner, const char* name, int interval) {
  auto* timer = new QTimer(owner);
  timer->setObjectName(name);
  timer->setInterval(interval);
  return timer;
}

}  // namespace

TMainForm::TMainForm(std::shared_ptr<SerialDeviceOpener> opener, QWidget* parent)
    : QMainWindow(parent), errors_(this) {
  setObjectName("MainForm");
  setWindowTitle("Korvane v1.5.2");
  setAccessibleName("Korvane");
  setMinimumSize(600, 623);
  // The designed font; systems without it take their own sans-serif face.
  QFont font("MS Sans Serif", 8);
  font.setStyleHint(QFont::SansSerif);
  setFont(font);

  w_ = BuildMainFormLayout(*this);
  menu_ = BuildMainMenu(*this);
  pollTimer_ = MakeTimer(this, "PollTimer", 1000);
  graphTimeTimer_ = MakeTimer(this, "GraphTimeTimer", 100);

  view_ = std::make_unique<QtPollView>(w_);
  session_ = std::make_unique<ControllerSession>(mainThread_, std::move(opener), &TickCount, *view_);
  liveChart_ = std::make_unique<LiveChart>(w_.ForLiveChart(graphTimeTimer_), session_->history);
  chartTools_ = AttachChartTools(*liveChart_, w_.Chart1View);
  dataLog_ = std::make_unique<DataLogCommands>(this, w_.ChkLog, w_.TxtPeriod, session_->poll.Values(),
                                               session_->history, errors_);
  session_->poll.SetTickHook(dataLog_.get());
  linkPanels_ = std::make_unique<LinkPanels>(*this, *session_, errors_);
  WireControls();

  FormCreate();
  pollTimer_->start();
  graphTimeTimer_->start();

  // Created after the main window, hidden until asked for: the configuration
  // dialog (which scans the controller presets now, so it sees the defaults
  // set above), then the About box.
  configForm_ = std::make_unique<TConfigForm>(ConfigFormContext{
      &session_->settings, &session_->control, &session_->state, pollTimer_,
      [this] {
        // OK has stored the map and the form of the chosen preset.
        ShowPidUnits(w_, AppSettings().Map.Form);
        session_->poll.DisplayRegs();
      },
      ProgramFolder()});
  // The dialog is a window of its own; left open, it must not keep the
  // program running once the main window has closed.
  configForm_->setAttribute(Qt::WA_QuitOnClose, false);
  about_ = new TAboutFrm(this);
  frmTrend_ = std::make_unique<TFrmTrend>();
  frmTrend_->setAttribute(Qt::WA_QuitOnClose, false);
  tuning_ = std::make_unique<TuningForm>(session_->poll, session_->history, session_->settings,
                                         w_.ForLiveChart(graphTimeTimer_), TuningSettingsPath());
  tuning_->setAttribute(Qt::WA_QuitOnClose, false);
  tuning_->SetPortOpen([this] { return session_->control.PortActive(); });
  liveChart_->AddRedrawHooks(nullptr, [this] {
    if (tuning_) tuning_->ChartRedrawn();
  });
  connect(menu_.Tuning1, &QAction::triggered, this, &TMainForm::Tuning1Click);
}

TMainForm::~TMainForm() {
  configForm_.reset();
  frmTrend_.reset();
  tuning_.reset();
  pollTimer_->stop();
  graphTimeTimer_->stop();
  // The chart and the data log go first: the session must not call them.
  session_->poll.SetTickHook(nullptr);
  dataLog_.reset();
  linkPanels_.reset();
  liveChart_.reset();
  session_.reset();  // closes the port
}

void TMainForm::WireControls() {
  connect(pollTimer_, &QTimer::timeout, this, &TMainForm::PollTimerTimer);
  // The read plan's next request goes out when a reply is overdue.
  connect(graphTimeTimer_, &QTimer::timeout, this, [this] { errors_.Run([this] { Poll().CheckPlanDeadline(); }); });
  auto guarded = [this](void (PollCycle::*click)()) {
    return [this, click] { errors_.Run([this, click] { (session_->poll.*click)(); }); };
  };
  connect(w_.SPWrite, &QPushButton::clicked, this, guarded(&PollCycle::SPWriteClick));
  connect(w_.KWrite, &QPushButton::clicked, this, guarded(&PollCycle::KWriteClick));
  connect(w_.KiWrite, &QPushButton::clicked, this, guarded(&PollCycle::KiWriteClick));
  connect(w_.KdWrite, &QPushButton::clicked, this, guarded(&PollCycle::KdWriteClick));
  connect(w_.ChkLog, &QCheckBox::clicked, this, &TMainForm::ChkLogClick);

  connect(menu_.Open1, &QAction::triggered, this, &TMainForm::Open1Click);
  connect(menu_.Save1, &QAction::triggered, this, &TMainForm::Save1Click);
  connect(menu_.SaveTrend1, &QAction::triggered, this, &TMainForm::SaveTrend1Click);
  connect(menu_.SaveChartPicture1, &QAction::triggered, this, &TMainForm::SaveChartPicture1Click);
  connect(menu_.Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
  connect(menu_.Open2, &QAction::triggered, this, &TMainForm::Open2Click);
  connect(menu_.Config1, &QAction::triggered, this, &TMainForm::Config1Click);
  connect(menu_.Trend1, &QAction::triggered, this, &TMainForm::Trend1Click);
  connect(menu_.About1, &QAction::triggered, this, &TMainForm::About1Click);
}

void TMainForm::FormCreate() {
  w_.Chart1->setTitle("PID");
  DrawDemonstrationCurve(w_);

  AppSettings() = Settings{};
  pollTimer_->setInterval(AppSettings().Poll.PollTime * 1000);

  w_.ChkAuto->setChecked(false);
  w_.TxtMin->setText("0");
  w_.TxtMax->setText("100");
  w_.ChkUpdate->setChecked(true);

  History().ClearData();
  History().ResetClock();
  History().SetUpdatePeriod(1);

  resize(1000, 623);
}

QString TMainForm::ProgramFolder() { return QCoreApplication::applicationDirPath(); }

void TMainForm::PollTimerTimer() {
  errors_.Run([this] { Poll().PollTimerTimer(); });
}

void TMainForm::Exit1Click() {
  // A tuning session writes back what it changed through the open port first.
  if (!(tuning_ && tuning_->SessionRunning())) errors_.Run([this] { Ports().CloseComm(); });
  close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (tuning_ && tuning_->SessionRunning()) {
    // The session is stopped and writes back the original setpoint and
    // factors; Korvane closes once that is done. Closing again gives the
    // write-back up (the tuning window then says what the controller holds).
    event->ignore();
    tuning_->AbortSession("Korvane is closing.");
    tuning_->ShowForward();
    if (closeWait_ == nullptr) {
      closeWait_ = new QTimer(this);
      closeWait_->setInterval(200);
      connect(closeWait_, &QTimer::timeout, this, [this] {
        if (tuning_ && tuning_->SessionRunning()) return;
        closeWait_->stop();
        close();
      });
    }
    closeWait_->start();
    return;
  }
  errors_.Run([this] { Ports().CloseComm(); });
  event->accept();
}

void TMainForm::About1Click() { about_->ShowForward(); }

void TMainForm::Config1Click() {
  configForm_->show();
  configForm_->raise();
  configForm_->activateWindow();
}

void TMainForm::Open1Click() {
  configfile::Open1Click(this, AppSettings(), w_.TxtSetPt, w_.TxtK, w_.TxtKi, w_.TxtKd);
  // A loaded file takes the form of its controller type's preset.
  ShowPidUnits(w_, AppSettings().Map.Form);
}

void TMainForm::Save1Click() {
  configfile::Save1Click(this, AppSettings(), w_.TxtSetPt, w_.TxtK, w_.TxtKi, w_.TxtKd);
}

void TMainForm::SaveTrend1Click() {
  errors_.Run([this] { dataLog_->SaveTrend1Click(); });
}

void TMainForm::SaveChartPicture1Click() { chartTools_->SavePictureDialog(); }

void TMainForm::Open2Click() {
  errors_.Run([this] { dataLog_->Open2Click(); });
}

void TMainForm::ChkLogClick() {
  errors_.Run([this] { dataLog_->ChkLogClick(); });
}

void TMainForm::Trend1Click() { frmTrend_->ShowForward(); }

void TMainForm::Tuning1Click() { tuning_->ShowForward(); }

}  // namespace korvane
