#include "forms/qt/terminal_text.h"

#include <cstring>
#include <string_view>

#ifdef __unix__
#include <langinfo.h>
#include <locale.h>
#endif

namespace forms::qt {

namespace {

// A byte that was not part of a valid character stands in the text as a lone low surrogate,
// which no valid UTF-8 can hold.
constexpr char16_t kKeptByte = 0xDC00;

// The length of the valid UTF-8 character at the start of `rest`, or 0.
std::size_t validCharacter(std::string_view rest) {
  const auto byte = [&rest](std::size_t i) { return static_cast<unsigned char>(rest[i]); };
  const unsigned char lead = byte(0);
  const std::size_t length = lead < 0x80   ? 1
                             : lead < 0xC2 ? 0
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                             : lead < 0xF5 ? 4
                                           : 0;
  if (length == 0 || length > rest.size()) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return 0;
    }
  }
  // No overlong forms, no surrogates, nothing beyond U+10FFFF.
  const unsigned char second = length > 1 ? byte(1) : 0;
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
    return 0;
  }
  return length;
}

bool utf8Locale() {
#ifdef __unix__
  // The user's locale, read without changing the program's own.
  const locale_t user = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) {
    return false;
  }
  const bool utf8 = std::strcmp(::nl_langinfo_l(CODESET, user), "UTF-8") == 0;
  ::freelocale(user);
  return utf8;
#else
  return true;
#endif
}

bool shown(char32_t c) {
  const auto category = QChar::category(c);
  return QChar::isPrint(c) && category != QChar::Separator_Line &&
         category != QChar::Separator_Paragraph;
}

}  // namespace

QString givenText(const char* bytes) {
  QString text;
  std::string_view rest(bytes);
  while (!rest.empty()) {
    const std::size_t length = validCharacter(rest);
    if (length == 0) {
      text += QChar(kKeptByte + static_cast<unsigned char>(rest.front()));
      rest.remove_prefix(1);
    } else {
      text += QString::fromUtf8(rest.data(), static_cast<qsizetype>(length));
      rest.remove_prefix(length);
    }
  }
  return text;
}

QByteArray terminalText(const QString& text) {
  static const bool anyCharacter = utf8Locale();
  QByteArray line;
  const auto escape = [&line](unsigned byte) {
    line += QByteArrayLiteral("\\x") + QByteArray::number(byte, 16).rightJustified(2, '0');
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar unit = text[i];
    if (unit.isLowSurrogate() && unit.unicode() >= kKeptByte + 0x80 &&
        unit.unicode() <= kKeptByte + 0xFF) {
      escape(unit.unicode() - kKeptByte);
      continue;
    }
    char32_t c = unit.unicode();
    if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(unit, text[++i]);
    }
    const QByteArray encoded = QString::fromUcs4(&c, 1).toUtf8();
    if (c == U'\\') {
      line += "\\\\";
    } else if (c == U'\n' || c == U'\r' || c == U'\t') {
      line += c == U'\n' ? "\\n" : c == U'\r' ? "\\r" : "\\t";
    } else if (c >= 0x20 && c < 0x7F) {
      line += static_cast<char>(c);
    } else if (anyCharacter && shown(c) && !QChar::isSurrogate(c)) {
      line += encoded;
    } else {
      for (const char byte : encoded) {
        escape(static_cast<unsigned char>(byte));
      }
    }
  }
  return line;
}

}  // namespace forms::qt
