#include "study/qt/summary_page.h"

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace cue {

namespace {

constexpr int kWidth = 1240;  // A4 at 150 dpi
constexpr int kHeight = 1754;
constexpr int kMargin = 80;
const QColor kBlockShades[] = {QColor(240, 240, 240), QColor(222, 235, 250), QColor(250, 230, 215)};
const QColor kCorrect(20, 60, 160), kError(200, 30, 30), kEarly(230, 140, 0);
const QColor kOk(30, 130, 60), kNotOk(200, 30, 30), kUnknown(120, 120, 120);

QString U(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Percent(int part, int whole) {
  return whole == 0 ? QStringLiteral("–")
                    : QString::number(100.0 * part / whole, 'f', 1) + QLatin1Char('%');
}

QFont Font(const QPainter& p, int points, bool bold = false) {
  return QFont(p.font().family(), points, bold ? QFont::Bold : QFont::Normal);
}

// A badge (OK, NOT OK, NOT RECORDED) and the verdict's text; returns the y below it.
int DrawVerdict(QPainter& p, const QString& what, const Verdict& v, int y) {
  const QColor colour = !v.ok ? kUnknown : *v.ok ? kOk : kNotOk;
  const QString badge = !v.ok   ? QStringLiteral("NOT RECORDED")
                        : *v.ok ? QStringLiteral("OK")
                                : QStringLiteral("NOT OK");
  p.setFont(Font(p, 15, true));
  p.setPen(Qt::black);
  p.drawText(kMargin, y + 26, what);
  const QRect box(kMargin + 110, y, 190, 36);
  p.fillRect(box, colour);
  p.setPen(Qt::white);
  p.drawText(box, Qt::AlignCenter, badge);
  p.setPen(Qt::black);
  p.setFont(Font(p, 12));
  const QRect text(kMargin + 320, y - 12, kWidth - kMargin - (kMargin + 320),
                   60);  // centred on the badge
  p.drawText(text, Qt::TextWordWrap | Qt::AlignVCenter, U(v.text));
  return y + 56;
}

// Returns the y below the table.
int DrawTable(QPainter& p, const Summary& s, int y) {
  const int columns[] = {kMargin,       kMargin + 190, kMargin + 300, kMargin + 420,
                         kMargin + 530, kMargin + 630, kMargin + 760};
  const QString head[] = {QStringLiteral("block type"),
                          QStringLiteral("target"),
                          QStringLiteral("answered"),
                          QStringLiteral("correct"),
                          QStringLiteral("errors"),
                          QStringLiteral("before cue"),
                          QStringLiteral("median RT, correct after the cue")};
  p.setFont(Font(p, 12, true));
  for (int c = 0; c < 7; ++c) p.drawText(columns[c], y, head[c]);
  p.setFont(Font(p, 12));
  for (const auto& cell : s.cells) {
    y += 28;
    const QString row[] = {QString::fromLatin1(BlockTypeName(cell.blockType)),
                           cell.present ? QStringLiteral("present") : QStringLiteral("absent"),
                           QString::number(cell.answered),
                           Percent(cell.correct, cell.answered),
                           QString::number(cell.answered - cell.correct),
                           QString::number(cell.beforeCue),
                           cell.medianRt
                               ? QString::number(*cell.medianRt, 'f', 0) + QStringLiteral(" ms")
                               : QStringLiteral("–")};
    for (int c = 0; c < 7; ++c) {
      p.setPen(c == 4 && cell.answered > cell.correct ? kError
               : c == 5 && cell.beforeCue > 0         ? kEarly
                                                      : Qt::black);
      p.drawText(columns[c], y, row[c]);
    }
  }
  p.setPen(Qt::black);
  return y + 30;
}

// Median RT of the correct answers per block type, present and absent side by side, with the
// accuracy under each bar.
void DrawBars(QPainter& p, const Summary& s, const QRect& area) {
  double top = 1000;
  for (const auto& cell : s.cells) top = std::max(top, cell.medianRt.value_or(0));
  top = std::ceil(top / 500) * 500;
  const auto y = [&](double rt) { return area.bottom() - rt * area.height() / top; };
  p.setFont(Font(p, 11));
  p.setPen(Qt::black);
  for (int rt = 0; rt <= top; rt += 500) {
    p.setPen(QPen(QColor(210, 210, 210), 1));
    p.drawLine(QPointF(area.left(), y(rt)), QPointF(area.right(), y(rt)));
    p.setPen(Qt::black);
    p.drawText(QRectF(area.left() - 70, y(rt) - 10, 62, 20), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(rt));
  }
  const double group = area.width() / 3.0, bar = group / 4;
  for (const auto& cell : s.cells) {
    const double left =
        area.left() + (cell.blockType - 1) * group + bar * (cell.present ? 0.8 : 2.2);
    if (cell.medianRt) {
      const QRectF rect(left, y(*cell.medianRt), bar, area.bottom() - y(*cell.medianRt));
      p.fillRect(rect, cell.present ? kCorrect : QColor(120, 160, 220));
      p.drawText(QRectF(left - 20, rect.top() - 22, bar + 40, 20), Qt::AlignCenter,
                 QString::number(*cell.medianRt, 'f', 0));
    }
    p.drawText(QRectF(left - 20, area.bottom() + 2, bar + 40, 20), Qt::AlignCenter,
               (cell.present ? QStringLiteral("present ") : QStringLiteral("absent ")) +
                   Percent(cell.correct, cell.answered));
  }
  p.setFont(Font(p, 12, true));
  for (int type = 1; type <= 3; ++type) {
    p.drawText(QRectF(area.left() + (type - 1) * group, area.bottom() + 24, group, 22),
               Qt::AlignCenter, QString::fromLatin1(BlockTypeName(type)));
  }
  p.drawLine(area.bottomLeft(), area.bottomRight());
  p.setFont(Font(p, 11));
  p.save();
  p.translate(area.left() - 78, area.center().y());
  p.rotate(-90);
  p.drawText(QRectF(-120, -24, 240, 24), Qt::AlignCenter, QStringLiteral("median RT (ms)"));
  p.restore();
}

// The axis's top: the 98th percentile of the RTs rounded up to 500 ms, 1000 to 5000 ms, so a
// few slow answers do not flatten the rest; they are marked at the top.
int AxisTop(const Summary& s) {
  std::vector<std::int32_t> rts;
  for (const auto& series : s.series) {
    for (const auto& point : series) rts.push_back(point.rt);
  }
  if (rts.empty()) return 1000;
  std::sort(rts.begin(), rts.end());
  const std::int32_t high =
      rts[static_cast<std::size_t>(0.98 * static_cast<double>(rts.size() - 1))];
  return std::clamp((high + 499) / 500 * 500, 1000, 5000);
}

void DrawTrials(QPainter& p, const Summary& s, const QRect& area) {
  const int maxRt = AxisTop(s);
  const auto x = [&](double trial) {
    return area.left() + (trial - 0.5) * area.width() / TOTAL_TRIALS;
  };
  const auto y = [&](double rt) {
    return area.bottom() - std::min(rt, double(maxRt)) * area.height() / maxRt;
  };
  p.setFont(Font(p, 11));
  for (std::size_t b = 0; b < s.blockTypes.size(); ++b) {
    const double from = x(b * TRIALS_PER_BLOCK + 0.5), to = x((b + 1) * TRIALS_PER_BLOCK + 0.5);
    const QRectF band(from, area.top(), to - from, area.height());
    if (s.blockTypes[b] >= 1) p.fillRect(band, kBlockShades[s.blockTypes[b] - 1]);
    p.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    p.drawLine(QPointF(from, area.top()), QPointF(from, area.bottom()));
    p.setPen(Qt::black);
    p.drawText(band.adjusted(2, 14, -2, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("block %1\n").arg(b + 1) +
                   QString::fromLatin1(BlockTypeName(s.blockTypes[b])));
  }
  p.setPen(Qt::black);
  p.drawRect(area);
  for (int rt = 0; rt <= maxRt; rt += 500) {
    p.drawText(QRectF(area.left() - 70, y(rt) - 10, 62, 20), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(rt));
  }
  for (int trial = 0; trial <= TOTAL_TRIALS; trial += TRIALS_PER_BLOCK) {
    p.drawText(QRectF(x(trial + 0.5) - 30, area.bottom() + 4, 60, 20), Qt::AlignCenter,
               QString::number(trial));
  }
  p.drawText(QRectF(area.left(), area.bottom() + 22, area.width(), 22), Qt::AlignCenter,
             QStringLiteral("trial"));
  p.save();
  p.translate(area.left() - 78, area.center().y());
  p.rotate(-90);
  p.drawText(QRectF(-100, -24, 200, 24), Qt::AlignCenter, QStringLiteral("RT (ms)"));
  p.restore();
  p.setRenderHint(QPainter::Antialiasing);
  const int alpha = s.series.size() > 1 ? 120 : 255;
  int beyond = 0;
  std::int32_t longest = 0;
  for (const auto& series : s.series) {
    for (const auto& point : series) {
      const QPointF at(x(point.trial), y(point.rt));
      QColor colour = point.beforeCue ? kEarly : point.correct ? kCorrect : kError;
      colour.setAlpha(alpha);
      p.setPen(QPen(colour, 2));
      p.setBrush(colour);
      if (point.rt > maxRt) {  // beyond the axis: a triangle pointing up at the top edge
        ++beyond;
        longest = std::max(longest, point.rt);
        const QPointF tip = at + QPointF(0, 1);
        p.drawPolygon(QPolygonF({tip, tip + QPointF(-5, 9), tip + QPointF(5, 9)}));
      } else if (point.correct) {
        p.drawEllipse(at, 2.5, 2.5);
      } else {  // an error: a cross
        p.drawLine(at + QPointF(-4, -4), at + QPointF(4, 4));
        p.drawLine(at + QPointF(-4, 4), at + QPointF(4, -4));
      }
    }
  }
  p.setBrush(Qt::NoBrush);
  p.setRenderHint(QPainter::Antialiasing, false);
  // The legend, under the axis.
  const int ly = area.bottom() + 58;
  const std::pair<QColor, QString> keys[] = {{kCorrect, QStringLiteral("correct")},
                                             {kError, QStringLiteral("error (x)")},
                                             {kEarly, QStringLiteral("answered before the cue")}};
  int lx = area.left();
  for (const auto& [colour, text] : keys) {
    p.fillRect(lx, ly - 10, 12, 12, colour);
    p.setPen(Qt::black);
    p.drawText(lx + 18, ly, text);
    lx += 60 + p.fontMetrics().horizontalAdvance(text);
  }
  p.drawText(lx, ly,
             beyond == 0
                 ? QStringLiteral("no answer beyond the axis")
                 : QStringLiteral("%1 %2 beyond %3 ms (triangles at the top; the slowest %4 ms)")
                       .arg(beyond)
                       .arg(beyond == 1 ? QStringLiteral("answer") : QStringLiteral("answers"))
                       .arg(maxRt)
                       .arg(longest));
}

}  // namespace

QImage SummaryPage(const Summary& s) {
  QImage page(kWidth, kHeight, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter p(&page);
  p.setPen(Qt::black);
  p.setFont(Font(p, 22, true));
  int y = kMargin;
  p.drawText(kMargin, y, U(s.title));
  p.setFont(Font(p, 12));
  for (const auto& line : s.about) {
    p.drawText(QRect(kMargin, y + 10, kWidth - 2 * kMargin, 26), Qt::TextSingleLine, U(line));
    y += 26;
  }
  y = DrawVerdict(p, QStringLiteral("Timing"), s.timing, y + 30);
  y = DrawVerdict(p, QStringLiteral("Sound"), s.sound, y);
  y = DrawTable(p, s, y + 30);
  p.setFont(Font(p, 14, true));
  p.drawText(kMargin, y + 20,
             QStringLiteral("Median RT of the correct answers after the cue, and accuracy"));
  DrawBars(p, s, QRect(kMargin + 80, y + 60, kWidth - 2 * kMargin - 80, 240));
  y += 60 + 240 + 60;
  p.setFont(Font(p, 14, true));
  p.drawText(kMargin, y + 20, QStringLiteral("RT of every answer"));
  DrawTrials(p, s, QRect(kMargin + 80, y + 34, kWidth - 2 * kMargin - 80, 470));
  y += 34 + 470 + 100;
  p.setPen(Qt::black);
  p.setFont(Font(p, 14, true));
  p.drawText(kMargin, y, QStringLiteral("Timing health"));
  p.setFont(Font(p, 12));
  for (const auto& line : s.health) {
    p.drawText(QRect(kMargin, y + 10, kWidth - 2 * kMargin, 50), Qt::TextWordWrap, U(line));
    y += 40;
  }
  return page;
}

std::optional<FileError> WriteSummaryPng(FileSystem& files, const Summary& summary,
                                         const std::string& path) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!SummaryPage(summary).save(&buffer, "PNG")) {
    return FileError{FileFailure::kIo, 0, path, "The page could not be encoded as PNG"};
  }
  return files.Replace(path, png.toStdString());
}

}  // namespace cue
