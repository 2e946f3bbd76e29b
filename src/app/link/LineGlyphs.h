#pragma once
// Lines of Latin-1 text turned into glyph runs by table: the font's glyph
// and advance of each of the 256 characters are looked up once, so laying a
// line out is one lookup per character (no shaping, no text layout), done
// once when the line arrives. A fixed-pitch font shares one row of glyph
// positions among all lines. Drawn with QPainter::drawGlyphRun, a line gives
// the pixels the text layout would: the same glyphs at the same advances.
//
// A frame line is a time, then text that repeats from poll to poll (the
// request, mostly, is the same every time). With a fixed-pitch font on an
// untransformed painter, what follows a line's first two blanks is drawn
// from a picture kept per text (the latest few) once that text has come
// twice: the glyphs drawn once onto the background at the same sub-pixel
// place, then copied. A text seen for the first time (a reply's values,
// mostly) is drawn directly: making its picture costs more than drawing it
// and would seldom be used again.

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>

#include <QColor>
#include <QImage>

#include <array>
#include <list>
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
    std::size_t tail = 0;  // where the part after the first two blanks starts (0: none)
  };

  explicit LineGlyphs(const QFont& font);

  Line Lay(const QString& text) const;
  // Draws `line` with the top of its text at `topLeft`. With `background`
  // (the colour under the line) and the row's `height`, its tail may come
  // from a kept picture.
  void Draw(QPainter& painter, const QPointF& topLeft, const Line& line, const QColor& background = QColor(),
            int height = 0) const;

 private:
  struct Tail {
    QString text;
    qreal phase = 0.0;  // the tail's sub-pixel start
    QRgb pen = 0;
    QRgb background = 0;
    int height = 0;
    QImage picture;  // null while the text has come only once
  };

  const QPointF* Positions(const Line& line, std::size_t count) const;
  void DrawGlyphs(QPainter& painter, const QPointF& topLeft, const Line& line, std::size_t from,
                  std::size_t count) const;
  // The kept picture of the line's tail; nullptr the first time it comes.
  const QImage* TailPicture(const Line& line, qreal phase, QRgb pen, QRgb background, int height) const;

  QRawFont raw_;
  std::array<quint32, 256> glyph_{};
  std::array<qreal, 256> advance_{};
  bool fixedPitch_ = true;
  qreal ascent_ = 0.0;
  mutable std::vector<QPointF> shared_;  // x = n advances, y = ascent: the fixed-pitch row
  mutable std::list<Tail> tails_;        // newest first
};

}  // namespace korvane
