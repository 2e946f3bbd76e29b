#pragma once
// A read-only list of text lines (the frame monitor's lines) that stays
// cheap while lines arrive: each line is laid out once when it is added
// (its glyphs looked up by table, LineGlyphs), new lines and scrolling move
// the pixels already drawn and paint only the rows that come into view, and
// the list keeps at most `capacity` lines. While scrolled to the end it
// follows new lines.

#include <QAbstractScrollArea>
#include <QStringList>

#include <cstdint>
#include <deque>

#include "app/link/LineGlyphs.h"

namespace korvane {

class FrameListView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  FrameListView(int capacity, QWidget* parent);

  void AppendLines(const QStringList& lines);
  void Clear();
  int LineCount() const { return static_cast<int>(lines_.size()); }
  QString Line(int index) const { return lines_[static_cast<std::size_t>(index)].text; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  int VisibleLines() const;
  void UpdateScrollBars(bool follow);

  LineGlyphs glyphs_;
  std::deque<LineGlyphs::Line> lines_;
  int capacity_;
  int lineHeight_;
  int widest_ = 0;
  std::int64_t dropped_ = 0;  // lines dropped off the front since the last Clear
  bool adjusting_ = false;    // scroll bars moved by AppendLines or Clear
};

}  // namespace korvane
