#include "app/link/LineGlyphs.h"

#include <QGlyphRun>
#include <QPainter>

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
  return line;
}

const QPointF* LineGlyphs::Positions(const Line& line, std::size_t count) const {
  if (!fixedPitch_) return line.positions.data();
  while (shared_.size() < count) {
    shared_.emplace_back(static_cast<qreal>(shared_.size()) * advance_[32], ascent_);
  }
  return shared_.data();
}

void LineGlyphs::Draw(QPainter& painter, const QPointF& topLeft, const Line& line) const {
  const std::size_t count = line.glyphs.size();
  if (count == 0) return;
  QGlyphRun run;
  run.setRawFont(raw_);
  run.setRawData(line.glyphs.data(), Positions(line, count), static_cast<int>(count));
  painter.drawGlyphRun(topLeft, run);
}

}  // namespace korvane
