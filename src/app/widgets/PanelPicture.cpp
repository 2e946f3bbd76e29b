#include "app/widgets/PanelPicture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionFrame>

#include <tuple>

namespace korvane {

namespace {

// The style of one such line edit: every element as the application's
// style draws it, the line-edit panel from the kept picture.
class PanelPictureStyle : public QProxyStyle {
 public:
  explicit PanelPictureStyle(QStyle* base) : QProxyStyle(base) {}

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_PanelLineEdit || widget == nullptr || widget->parentWidget() == nullptr ||
        option->rect != widget->rect()) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    const qreal ratio = painter->device()->devicePixelRatio();
    const Look look = LookOf(*option, *widget, ratio);
    if (picture_.isNull() || !(look == look_)) {
      look_ = look;
      picture_ = Draw(*option, *widget, ratio);
    }
    painter->drawPixmap(option->rect.topLeft(), picture_);
  }

 private:
  // What the picture depends on.
  struct Look {
    QRect geometry;
    QSize parentSize;
    bool parentEnabled = true;
    qint64 palette = 0;
    qint64 parentPalette = 0;
    int state = 0;
    int lineWidth = 0;
    int features = 0;
    qreal ratio = 1.0;
    bool operator==(const Look& o) const {
      return std::tie(geometry, parentSize, parentEnabled, palette, parentPalette, state, lineWidth, features,
                      ratio) == std::tie(o.geometry, o.parentSize, o.parentEnabled, o.palette, o.parentPalette,
                                         o.state, o.lineWidth, o.features, o.ratio);
    }
  };

  static Look LookOf(const QStyleOption& option, const QWidget& widget, qreal ratio) {
    Look look;
    const QWidget* parent = widget.parentWidget();
    look.geometry = widget.geometry();
    look.parentSize = parent->size();
    look.parentEnabled = parent->isEnabled();
    look.palette = option.palette.cacheKey();
    look.parentPalette = parent->palette().cacheKey();
    look.state = static_cast<int>(option.state);
    if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(&option)) {
      look.lineWidth = frame->lineWidth;
      look.features = static_cast<int>(frame->features);
    }
    look.ratio = ratio;
    return look;
  }

  // The parent's own drawing under the box (with the window's background,
  // without its other children), then the panel as the style draws it.
  QPixmap Draw(const QStyleOption& option, const QWidget& widget, qreal ratio) const {
    QPixmap picture(option.rect.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(widget.palette().color(QPalette::Window));
    widget.parentWidget()->render(&picture, QPoint(), QRegion(widget.geometry()), QWidget::DrawWindowBackground);
    QPainter painter(&picture);
    QProxyStyle::drawPrimitive(PE_PanelLineEdit, &option, &painter, &widget);
    return picture;
  }

  mutable Look look_;
  mutable QPixmap picture_;
};

}  // namespace

void KeepPanelPicture(QLineEdit* edit) {
  // A style of the application's kind of its own (a proxy takes its base
  // style over), deleted with the box.
  QStyle* base = QStyleFactory::create(QApplication::style()->name());
  if (base == nullptr) return;
  auto* style = new PanelPictureStyle(base);
  style->setParent(edit);
  edit->setStyle(style);
  edit->setAttribute(Qt::WA_OpaquePaintEvent);
}

}  // namespace korvane
