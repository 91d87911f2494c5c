#include "ui/QtText.h"

#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"

namespace zar {

QString qtext(std::string_view eightBit, int language) {
  const std::string utf8 = toUtf8(eightBit, language);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string eightBit(const QString& text, int language) {
  const QByteArray utf8 = text.toUtf8();
  return fromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), language);
}

QString catalogText(const MessageCatalog& catalog, int id) {
  return qtext(catalog.text(id), catalog.language());
}

}  // namespace zar
