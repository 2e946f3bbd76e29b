#include "app/link/LineGlyphs.h"

#include <QGlyphRun>
#include <QPainter>

#include <cmath>

namespace korvane {

LineGlyphs::LineGlyphs(const QFont& font) : raw_(QRawFont::fromFont(font)) {
  QString all;
  for (int c = 0; c < 256; ++c) all.append(QChar(c));
  const QList<quint32> glyphs = raw_.glyphIndexesForString(all);
  const QList<QPointF> advances = raw_.advancesForGlyphIndexes(glyphs);
  for (int c = 0; c < 256 && c < glyphs.size() && c < advances.size(); ++c) {
    glyph_[static_cast<std::size_t>(c)] = glyphs[c];
    advance_[static_cast<std::size_t>(c)] = advances[c].x();
  }
  // Printable characters decide the pitch; control characters never show.
  for (std::size_t c = 33; c < 127; ++c) fixedPitch_ = fixedPitch_ && advance_[c] == advance_[32];
  ascent_ = raw_.ascent();
}

LineGlyphs::Line LineGlyphs::Lay(const QString& text) const {
  Line line;
  line.text = text;
  line.glyphs.reserve(static_cast<std::size_t>(text.size()));
  if (!fixedPitch_) line.positions.reserve(static_cast<std::size_t>(text.size()));
  qreal x = 0.0;
  for (const QChar ch : text) {
    const std::size_t c = ch.unicode() < 256 ? ch.unicode() : std::size_t{'?'};
    line.glyphs.push_back(glyph_[c]);
    if (!fixedPitch_) line.positions.emplace_back(x, ascent_);
    x += advance_[c];
  }
  line.width = x;
  const qsizetype blanks = text.indexOf(QLatin1String("  "));
  if (fixedPitch_ && blanks > 0) {
    qsizetype tail = blanks;
    while (tail < text.size() && text[tail] == QLatin1Char(' ')) ++tail;
    if (tail < text.size()) line.tail = static_cast<std::size_t>(tail);
  }
  return line;
}

const QPointF* LineGlyphs::Positions(const Line& line, std::size_t count) const {
  if (!fixedPitch_) return line.positions.data();
  while (shared_.size() < count) {
    shared_.emplace_back(static_cast<qreal>(shared_.size()) * advance_[32], ascent_);
  }
  return shared_.data();
}

void LineGlyphs::DrawGlyphs(QPainter& painter, const QPointF& topLeft, const Line& line, std::size_t from,
                            std::size_t count) const {
  if (count == 0) return;
  QGlyphRun run;
  run.setRawFont(raw_);
  run.setRawData(line.glyphs.data() + from, Positions(line, from + count) + (fixedPitch_ ? 0 : from),
                 static_cast<int>(count));
  const qreal shift = fixedPitch_ ? static_cast<qreal>(from) * advance_[32] : 0.0;
  painter.drawGlyphRun(topLeft + QPointF(shift, 0.0), run);
}

const QImage* LineGlyphs::TailPicture(const Line& line, qreal phase, QRgb pen, QRgb background,
                                      int height) const {
  const QString text = line.text.mid(static_cast<qsizetype>(line.tail));
  auto it = tails_.begin();
  while (it != tails_.end() && !(it->phase == phase && it->pen == pen && it->background == background &&
                                 it->height == height && it->text == text)) {
    ++it;
  }
  constexpr std::size_t kKept = 8;
  if (it == tails_.end()) {
    if (tails_.size() >= kKept) tails_.pop_back();
    tails_.push_front(Tail{text, phase, pen, background, height, QImage()});
    return nullptr;
  }
  tails_.splice(tails_.begin(), tails_, it);
  if (!tails_.front().picture.isNull()) return &tails_.front().picture;
  const std::size_t count = line.glyphs.size() - line.tail;
  // Room for the last glyph's overhang beyond its advance.
  const int width = static_cast<int>(std::ceil(phase + static_cast<qreal>(count) * advance_[32])) + 4;
  QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
  picture.fill(background);
  {
    QPainter painter(&picture);
    painter.setPen(QColor::fromRgba(pen));
    QGlyphRun run;
    run.setRawFont(raw_);
    run.setRawData(line.glyphs.data() + line.tail, Positions(line, count), static_cast<int>(count));
    painter.drawGlyphRun(QPointF(phase, 0.0), run);
  }
  tails_.front().picture = std::move(picture);
  return &tails_.front().picture;
}

void LineGlyphs::Draw(QPainter& painter, const QPointF& topLeft, const Line& line, const QColor& background,
                      int height) const {
  const bool plain = painter.worldTransform().type() <= QTransform::TxTranslate &&
                     painter.device()->devicePixelRatio() == 1.0 && painter.opacity() == 1.0;
  if (line.tail == 0 || height <= 0 || !background.isValid() || background.alpha() != 255 || !plain) {
    DrawGlyphs(painter, topLeft, line, 0, line.glyphs.size());
    return;
  }
  DrawGlyphs(painter, topLeft, line, 0, line.tail);
  // Where the tail starts on the device, split into whole pixels (where the
  // picture goes) and the sub-pixel rest (where its glyphs were drawn).
  const QPointF start = painter.worldTransform().map(topLeft + QPointF(static_cast<qreal>(line.tail) * advance_[32], 0.0));
  const qreal whole = std::floor(start.x());
  const QImage* picture =
      TailPicture(line, start.x() - whole, painter.pen().color().rgba(), background.rgba(), height);
  if (picture == nullptr) {
    DrawGlyphs(painter, topLeft, line, line.tail, line.glyphs.size() - line.tail);
    return;
  }
  const QTransform kept = painter.worldTransform();
  painter.resetTransform();
  painter.drawImage(QPointF(whole, start.y()), *picture);
  painter.setWorldTransform(kept);
}

}  // namespace korvane
