#include "font_choice.h"

#include <QFontDatabase>
#include <QFontMetrics>

namespace synthfactors::ui {
namespace {

constexpr int kSmallestPixels = 6;

QFont Face(const QString& family, int pixels) {
  QFont font(family);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setWeight(QFont::Normal);
  return font;
}

bool Fits(const QFont& font, const std::vector<FittingText>& texts) {
  const QFontMetrics metrics(font);
  for (const FittingText& text : texts) {
    if (metrics.horizontalAdvance(text.text) > text.width || metrics.height() > text.height) {
      return false;
    }
  }
  return true;
}

}  // namespace

QFont FittingFont(const QStringList& families, int pixels, const std::vector<FittingText>& texts) {
  const QStringList present = QFontDatabase::families();
  QString first;
  for (const QString& family : families) {
    if (!present.contains(family)) continue;
    if (first.isEmpty()) first = family;
    if (Fits(Face(family, pixels), texts)) return Face(family, pixels);
  }
  if (first.isEmpty()) first = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  int size = pixels - 1;
  while (size > kSmallestPixels && !Fits(Face(first, size), texts)) --size;
  return Face(first, size);
}

}  // namespace synthfactors::ui
