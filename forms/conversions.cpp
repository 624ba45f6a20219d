#include "forms/conversions.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace forms {

namespace {

bool isSkipped(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Steps through a text as Val sees it: skipped characters are invisible.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  char peek() {
    while (pos_ < text_.size() && isSkipped(text_[pos_])) {
      ++pos_;
    }
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void advance() { ++pos_; }
  // Where the reader stands, so that an exponent that turns out incomplete can be given back.
  std::size_t mark() const { return pos_; }
  void reset(std::size_t mark) { pos_ = mark; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Some standard libraries (the browser build's among them) convert only integers with
// from_chars and to_chars. There the same results come from the C library, which the browser
// build keeps in the "C" locale: strtod rounds correctly, and the shortest text that reads back
// exactly is laid out as to_chars lays it out.
template <typename T>
concept FloatCharconv = requires(char* text, T value) {
  std::to_chars(text, text, value);
  std::from_chars(text, text, value);
};

template <typename T>
std::errc parseDecimal(const std::string& number, T& value) {
  if constexpr (FloatCharconv<T>) {
    return std::from_chars(number.data(), number.data() + number.size(), value).ec;
  } else {
    errno = 0;
    const T parsed = std::strtod(number.c_str(), nullptr);
    if (errno == ERANGE && (std::isinf(parsed) || parsed == 0)) {
      return std::errc::result_out_of_range;
    }
    value = parsed;
    return {};
  }
}

template <typename T>
std::string shortestDecimal(T value) {
  std::array<char, 64> buffer{};
  if constexpr (FloatCharconv<T>) {
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), error == std::errc{} ? end : buffer.data());
  } else {
    const std::string sign = std::signbit(value) ? "-" : "";
    if (std::isinf(value)) {
      return sign + "inf";
    }
    // Scientific, with as few significant digits as read back exactly: "1.234e+07".
    for (int digits = 1; digits <= 17; ++digits) {
      std::snprintf(buffer.data(), buffer.size(), "%.*e", digits - 1, std::fabs(value));
      if (std::strtod(buffer.data(), nullptr) == std::fabs(value)) {
        break;
      }
    }
    const std::string scientific = buffer.data();
    const std::size_t e = scientific.find('e');
    std::string digits = scientific.substr(0, e);
    if (digits.size() > 1) {
      digits.erase(1, 1);
    }
    const int exponent = std::atoi(scientific.c_str() + e + 1);
    const auto count = static_cast<int>(digits.size());
    // The same digits without an exponent: "0.001", "123.5"; a whole number in full, exactly.
    std::string fixed;
    if (exponent >= count - 1) {
      std::snprintf(buffer.data(), buffer.size(), "%.0f", std::fabs(value));
      fixed = buffer.data();
    } else if (exponent < 0) {
      fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
      fixed = digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
              digits.substr(static_cast<std::size_t>(exponent + 1));
    }
    return sign + (fixed.size() <= scientific.size() ? fixed : scientific);
  }
}

}  // namespace

double Val(std::string_view text) {
  Reader in(text);
  bool negative = false;
  if (in.peek() == '+' || in.peek() == '-') {
    negative = in.peek() == '-';
    in.advance();
  }

  // The number is copied without its blanks into a plain form that from_chars understands.
  std::string number;
  bool seenDigit = false;
  // Decimal position of the first significant digit, for telling an overflow from an underflow.
  long long magnitude = 0;
  bool seenSignificant = false;
  bool afterPoint = false;
  for (;;) {
    const char c = in.peek();
    if (isDigit(c)) {
      seenDigit = true;
      if (c != '0' && !seenSignificant) {
        seenSignificant = true;
      }
      if (seenSignificant && !afterPoint) {
        ++magnitude;
      } else if (!seenSignificant && afterPoint) {
        --magnitude;
      }
      number.push_back(c);
      in.advance();
    } else if (c == '.' && !afterPoint) {
      afterPoint = true;
      number.push_back(c);
      in.advance();
    } else {
      break;
    }
  }
  if (!seenDigit) {
    return 0.0;
  }

  long long exponent = 0;
  const std::size_t beforeExponent = in.mark();
  if (in.peek() == 'e' || in.peek() == 'E') {
    in.advance();
    bool negativeExponent = false;
    if (in.peek() == '+' || in.peek() == '-') {
      negativeExponent = in.peek() == '-';
      in.advance();
    }
    if (isDigit(in.peek())) {
      while (isDigit(in.peek())) {
        // Far beyond any double's range already; stop growing so the count cannot overflow.
        if (exponent < 100000000) {
          exponent = exponent * 10 + (in.peek() - '0');
        }
        in.advance();
      }
      if (negativeExponent) {
        exponent = -exponent;
      }
      number += 'e';
      number += std::to_string(exponent);
    } else {
      // "1e" or "1e+" ends the number before the letter.
      in.reset(beforeExponent);
    }
  }

  double value = 0.0;
  if (parseDecimal(number, value) == std::errc::result_out_of_range) {
    value =
        seenSignificant && magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

std::string Str(double value) {
  if (std::isnan(value)) {
    return "NaN";
  }
  std::string text = shortestDecimal(value);
  if (!std::signbit(value) || value == 0.0) {
    if (!text.empty() && text.front() == '-') {
      text.erase(0, 1);
    }
    text.insert(0, 1, ' ');
  }
  return text;
}

std::optional<std::int16_t> CInt(double value) {
  if (!std::isfinite(value)) {
    return std::nullopt;
  }
  double rounded = std::round(value);
  if (std::fabs(value - std::trunc(value)) == 0.5) {
    // A half goes to the even neighbour.
    rounded = 2.0 * std::round(value / 2.0);
  }
  if (rounded < -32768.0 || rounded > 32767.0) {
    return std::nullopt;
  }
  return static_cast<std::int16_t>(rounded);
}

float CSng(double value) {
  constexpr double largest = std::numeric_limits<float>::max();
  if (std::isnan(value)) {
    return 0.0f;
  }
  if (value > largest) {
    return std::numeric_limits<float>::max();
  }
  if (value < -largest) {
    return -std::numeric_limits<float>::max();
  }
  return static_cast<float>(value);
}

std::string Left(std::string_view text, long count) {
  if (count <= 0) {
    return {};
  }
  return std::string(text.substr(0, static_cast<std::size_t>(count)));
}

std::string Right(std::string_view text, long count) {
  if (count <= 0) {
    return {};
  }
  const auto n = static_cast<std::size_t>(count);
  return std::string(n >= text.size() ? text : text.substr(text.size() - n));
}

long Len(std::string_view text) {
  return static_cast<long>(text.size());
}

}  // namespace forms
