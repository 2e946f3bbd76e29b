// A frame line drawn from its glyph table, its tail from a kept picture or
// not, gives the pixels the text layout gives for the same text, font and
// place.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QStaticText>

#include "app/link/LineGlyphs.h"

namespace korvane {
namespace {

QImage Blank() {
  QImage image(1100, 24, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  return image;
}

TEST(LineGlyphsTest, DrawsThePixelsOfTheTextLayout) {
  struct Row {
    const char* text;
    qreal x;
  };
  const Row rows[] = {
      {"12:00:01.250  TX  01 03 00 00 00 14 45 C5  slave 1 read holding registers", 4},
      {"12:00:01.250  TX  01 03 00 00 00 14 45 C5  slave 1 read holding registers", 4.5},
      {"12:00:01.262  RX  01 03 28 00 07 00 FA 01 2C 00 00 00 00 00 00 00 50 00 19  good reply", 4},
      {"scrolled right by a few pixels: ~!@#$%^&*()_+{}|:\"<>?`-=[]\\;',./", -37},
      {"Latin-1 beyond ASCII: \xe4\xf6\xfc \xdf \xb0" "C \xb5" "s \xd7", 4},
      {"", 4},
  };
  const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  const LineGlyphs glyphs(font);
  for (const Row& row : rows) {
    const QString text = QString::fromLatin1(row.text);
    QImage want = Blank();
    QImage got = Blank();
    {
      QPainter painter(&want);
      painter.setFont(font);
      QStaticText laid(text);
      laid.setTextFormat(Qt::PlainText);
      laid.prepare(QTransform(), font);
      painter.drawStaticText(QPointF(row.x, 2), laid);
    }
    {
      QPainter painter(&got);
      painter.setFont(font);
      glyphs.Draw(painter, QPointF(row.x, 2), glyphs.Lay(text));
    }
    EXPECT_EQ(got, want) << row.text;
    for (int pass = 0; pass < 3; ++pass) {  // the tail drawn, its picture made, then kept
      QImage kept = Blank();
      {
        QPainter painter(&kept);
        painter.setFont(font);
        painter.translate(3, 0);
        glyphs.Draw(painter, QPointF(row.x - 3, 2), glyphs.Lay(text), Qt::white, QFontMetrics(font).lineSpacing());
      }
      EXPECT_EQ(kept, want) << row.text << " pass " << pass;
    }
    EXPECT_EQ(glyphs.Lay(text).text, text);
  }
}

}  // namespace
}  // namespace korvane
