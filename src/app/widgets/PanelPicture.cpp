#include "app/widgets/PanelPicture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOptionFrame>
#include <QStyleOptionSlider>

#include <tuple>

namespace korvane {

namespace {

// What a kept picture depends on.
struct Look {
  QRect geometry;
  QSize parentSize;
  bool parentEnabled = true;
  qint64 palette = 0;
  qint64 parentPalette = 0;
  int state = 0;
  int detail1 = 0;  // line width, or the active sub-controls
  int detail2 = 0;  // frame features, or the orientation
  int detail3 = 0;  // the direction, or whether the bar can scroll
  qreal ratio = 1.0;
  auto Tie() const {
    return std::tie(geometry, parentSize, parentEnabled, palette, parentPalette, state, detail1, detail2, detail3,
                    ratio);
  }
  bool operator==(const Look& o) const { return Tie() == o.Tie(); }
};

Look LookOf(const QStyleOption& option, const QWidget& widget, qreal ratio) {
  Look look;
  const QWidget* parent = widget.parentWidget();
  look.geometry = widget.geometry();
  look.parentSize = parent->size();
  look.parentEnabled = parent->isEnabled();
  look.palette = option.palette.cacheKey();
  look.parentPalette = parent->palette().cacheKey();
  look.state = static_cast<int>(option.state);
  look.detail3 = static_cast<int>(option.direction);
  look.ratio = ratio;
  return look;
}

// The style of one such widget: every element as the application's style
// draws it, but the line-edit panel and the scroll bar's groove from the kept
// picture. The groove is kept only with the Fusion style, which draws it
// before everything else of the bar; other styles draw their bars whole.
class PictureStyle : public QProxyStyle {
 public:
  explicit PictureStyle(QStyle* base)
      : QProxyStyle(base), fusion_(base->name().compare("fusion", Qt::CaseInsensitive) == 0) {}

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_PanelLineEdit || !Keeps(*option, widget)) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    Look look = LookOf(*option, *widget, painter->device()->devicePixelRatio());
    if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option)) {
      look.detail1 = frame->lineWidth;
      look.detail2 = static_cast<int>(frame->features);
    }
    painter->drawPixmap(option->rect.topLeft(), Picture(look, *option, *widget, [&](QPainter& p) {
      QProxyStyle::drawPrimitive(PE_PanelLineEdit, option, &p, widget);
    }));
  }

  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                          const QWidget* widget) const override {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || bar == nullptr || !Keeps(*option, widget) || !fusion_ ||
        styleHint(SH_ScrollBar_Transient, option, widget) != 0) {
      QProxyStyle::drawComplexControl(control, option, painter, widget);
      return;
    }
    Look look = LookOf(*option, *widget, painter->device()->devicePixelRatio());
    look.detail1 = static_cast<int>(option->activeSubControls);
    look.detail2 = static_cast<int>(bar->orientation);
    look.detail3 = look.detail3 * 2 + (bar->minimum == bar->maximum ? 1 : 0);
    QStyleOptionSlider groove = *bar;
    groove.subControls = bar->subControls & SC_ScrollBarGroove;
    painter->drawPixmap(option->rect.topLeft(), Picture(look, *option, *widget, [&](QPainter& p) {
      QProxyStyle::drawComplexControl(CC_ScrollBar, &groove, &p, widget);
    }));
    QStyleOptionSlider rest = *bar;
    rest.subControls = bar->subControls & ~SC_ScrollBarGroove;
    QProxyStyle::drawComplexControl(CC_ScrollBar, &rest, painter, widget);
  }

 private:
  static bool Keeps(const QStyleOption& option, const QWidget* widget) {
    return widget != nullptr && widget->parentWidget() != nullptr && option.rect == widget->rect();
  }

  // The parent's own drawing under the widget (with the window's
  // background, without its other children), then what `draw` paints.
  template <typename Draw>
  const QPixmap& Picture(const Look& look, const QStyleOption& option, const QWidget& widget, Draw draw) const {
    if (!picture_.isNull() && look == look_) return picture_;
    look_ = look;
    QPixmap picture(option.rect.size() * look.ratio);
    picture.setDevicePixelRatio(look.ratio);
    picture.fill(widget.palette().color(QPalette::Window));
    widget.parentWidget()->render(&picture, QPoint(), QRegion(widget.geometry()), QWidget::DrawWindowBackground);
    QPainter painter(&picture);
    draw(painter);
    painter.end();
    picture_ = picture;
    return picture_;
  }

  const bool fusion_;
  mutable Look look_;
  mutable QPixmap picture_;
};

// A style of the application's kind of its own (a proxy takes its base
// style over), deleted with the widget.
void KeepPicture(QWidget* widget) {
  QStyle* base = QStyleFactory::create(QApplication::style()->name());
  if (base == nullptr) return;
  auto* style = new PictureStyle(base);
  style->setParent(widget);
  widget->setStyle(style);
  widget->setAttribute(Qt::WA_OpaquePaintEvent);
}

}  // namespace

void KeepPanelPicture(QLineEdit* edit) { KeepPicture(edit); }

void KeepGroovePicture(QScrollBar* bar) { KeepPicture(bar); }

}  // namespace korvane
