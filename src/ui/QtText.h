#pragma once
// The GUI boundary for texts: the core keeps 8-bit strings in the catalog's
// encoding (Big5 for language 0, Windows-1252 otherwise); widgets show
// QString. Every widget file converts through these helpers.

#include <QString>
#include <string>
#include <string_view>

namespace zar {

class MessageCatalog;

// An 8-bit core text as Unicode, decoded by the code page of `language`.
QString qtext(std::string_view eightBit, int language);
// A Unicode text as an 8-bit core text of `language`; characters the code
// page lacks become '?'.
std::string eightBit(const QString& text, int language);

// Catalog message `id` as Unicode, decoded in the catalog's own language.
QString catalogText(const MessageCatalog& catalog, int id);

}  // namespace zar
