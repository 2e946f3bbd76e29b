#pragma once
// Lines of Latin-1 text turned into glyph runs by table: the font's glyph
// and advance of each of the 256 characters are looked up once, so laying a
// line out is one lookup per character (no shaping, no text layout), done
// once when the line arrives. A fixed-pitch font shares one row of glyph
// positions among all lines. Drawn with QPainter::drawGlyphRun, a line gives
// the pixels the text layout would: the same glyphs at the same advances.

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>

#include <array>
#include <vector>

class QPainter;

namespace korvane {

class LineGlyphs {
 public:
  struct Line {
    QString text;
    std::vector<quint32> glyphs;
    std::vector<QPointF> positions;  // empty with a fixed-pitch font
    qreal width = 0.0;
  };

  explicit LineGlyphs(const QFont& font);

  Line Lay(const QString& text) const;
  // Draws `line` with the top of its text at `topLeft`.
  void Draw(QPainter& painter, const QPointF& topLeft, const Line& line) const;

 private:
  const QPointF* Positions(const Line& line, std::size_t count) const;

  QRawFont raw_;
  std::array<quint32, 256> glyph_{};
  std::array<qreal, 256> advance_{};
  bool fixedPitch_ = true;
  qreal ascent_ = 0.0;
  mutable std::vector<QPointF> shared_;  // x = n advances, y = ascent: the fixed-pitch row
};

}  // namespace korvane
