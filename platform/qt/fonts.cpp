#include "platform/qt/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace cue {

QFont MappedFont(const char* family, double pointSize, bool bold) {
  const QStringList installed = QFontDatabase::families();
  QString chosen = QString::fromLatin1(family);
  if (!installed.contains(chosen)) {
    chosen = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    for (const char* candidate : {"Liberation Sans", "DejaVu Sans"}) {
      if (installed.contains(QString::fromLatin1(candidate))) {
        chosen = QString::fromLatin1(candidate);
        break;
      }
    }
  }
  QFont font(chosen);
  font.setPointSizeF(pointSize);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace cue
