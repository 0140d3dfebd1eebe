#include "study/qt/summary_page.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace cue {

namespace {

constexpr int kWidth = 1240;  // A4 at 150 dpi
constexpr int kHeight = 1754;
constexpr int kMargin = 80;
const QColor kBlockShades[] = {QColor(240, 240, 240), QColor(222, 235, 250), QColor(250, 230, 215)};

QString U(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString Percent(int part, int whole) {
  return whole == 0 ? QStringLiteral("–") : QString::number(100.0 * part / whole, 'f', 1) + QLatin1Char('%');
}

// Returns the y below the table.
int DrawTable(QPainter& p, const Summary& s, int y) {
  const int columns[] = {kMargin, kMargin + 300, kMargin + 500, kMargin + 700, kMargin + 900};
  const QString head[] = {QStringLiteral("block type"), QStringLiteral("target"), QStringLiteral("answered"),
                          QStringLiteral("correct"), QStringLiteral("median RT (correct)")};
  p.setFont(QFont(p.font().family(), 14, QFont::Bold));
  for (int c = 0; c < 5; ++c) p.drawText(columns[c], y, head[c]);
  p.setFont(QFont(p.font().family(), 14));
  for (const auto& cell : s.cells) {
    y += 34;
    const QString row[] = {QString::fromLatin1(BlockTypeName(cell.blockType)),
                           cell.present ? QStringLiteral("present") : QStringLiteral("absent"),
                           QString::number(cell.answered), Percent(cell.correct, cell.answered),
                           cell.medianRt ? QString::number(*cell.medianRt, 'f', 0) + QStringLiteral(" ms")
                                         : QStringLiteral("–")};
    for (int c = 0; c < 5; ++c) p.drawText(columns[c], y, row[c]);
  }
  return y + 40;
}

void DrawPlot(QPainter& p, const Summary& s, const QRect& area) {
  int maxRt = 1000;
  for (const auto& series : s.series) {
    for (const auto& point : series) maxRt = std::max(maxRt, point.second);
  }
  maxRt = std::min(((maxRt + 499) / 500) * 500, 5000);  // a slow outlier does not flatten the rest
  const auto x = [&](double trial) { return area.left() + (trial - 0.5) * area.width() / kTrialsPerSession; };
  const auto y = [&](double rt) { return area.bottom() - std::min(rt, double(maxRt)) * area.height() / maxRt; };
  p.setFont(QFont(p.font().family(), 11));
  for (std::size_t b = 0; b < s.blockTypes.size(); ++b) {
    const double from = x(b * kTrialsPerBlock + 0.5), to = x((b + 1) * kTrialsPerBlock + 0.5);
    const QRectF band(from, area.top(), to - from, area.height());
    if (s.blockTypes[b] >= 1) p.fillRect(band, kBlockShades[s.blockTypes[b] - 1]);
    p.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    p.drawLine(QPointF(from, area.top()), QPointF(from, area.bottom()));
    p.setPen(Qt::black);
    p.drawText(band.adjusted(2, 4, -2, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               QStringLiteral("block %1\n").arg(b + 1) + QString::fromLatin1(BlockTypeName(s.blockTypes[b])));
  }
  p.setPen(Qt::black);
  p.drawRect(area);
  for (int rt = 0; rt <= maxRt; rt += 500) {
    p.drawText(QRectF(area.left() - 70, y(rt) - 10, 62, 20), Qt::AlignRight | Qt::AlignVCenter, QString::number(rt));
  }
  for (int trial = 0; trial <= kTrialsPerSession; trial += kTrialsPerBlock) {
    p.drawText(QRectF(x(trial + 0.5) - 30, area.bottom() + 4, 60, 20), Qt::AlignCenter, QString::number(trial));
  }
  p.drawText(QRectF(area.left(), area.bottom() + 26, area.width(), 24), Qt::AlignCenter, QStringLiteral("trial"));
  p.save();
  p.translate(area.left() - 78, area.center().y());
  p.rotate(-90);
  p.drawText(QRectF(-100, -24, 200, 24), Qt::AlignCenter, QStringLiteral("RT (ms)"));
  p.restore();
  p.setRenderHint(QPainter::Antialiasing);
  const int alpha = s.series.size() > 1 ? 110 : 255;
  for (const auto& series : s.series) {
    QPainterPath path;
    for (const auto& [trial, rt] : series) {
      const QPointF point(x(trial), y(rt));
      if (path.elementCount() == 0) path.moveTo(point); else path.lineTo(point);
    }
    p.setPen(QPen(QColor(20, 60, 160, alpha), 1.5));
    p.drawPath(path);
  }
}

}  // namespace

QImage SummaryPage(const Summary& s) {
  QImage page(kWidth, kHeight, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter p(&page);
  p.setPen(Qt::black);
  p.setFont(QFont(p.font().family(), 22, QFont::Bold));
  int y = kMargin + 20;
  p.drawText(kMargin, y, U(s.title));
  p.setFont(QFont(p.font().family(), 13));
  for (const auto& line : s.about) p.drawText(kMargin, y += 30, U(line));
  y = DrawTable(p, s, y + 60);
  DrawPlot(p, s, QRect(kMargin + 80, y + 20, kWidth - 2 * kMargin - 80, 620));
  y += 20 + 620 + 90;
  p.setPen(Qt::black);
  p.setFont(QFont(p.font().family(), 16, QFont::Bold));
  p.drawText(kMargin, y, QStringLiteral("Timing health"));
  p.setFont(QFont(p.font().family(), 13));
  for (const auto& line : s.health) {
    p.drawText(QRect(kMargin, y + 12, kWidth - 2 * kMargin, 60), Qt::TextWordWrap, U(line));
    y += 50;
  }
  return page;
}

bool WriteSummaryPng(const Summary& summary, const QString& path) {
  return SummaryPage(summary).save(path, "PNG");
}

}  // namespace cue
