#include "server/form.h"

#include <limits>

namespace highscored {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> PercentDecode(const std::string& text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

std::optional<Form> ParseForm(const std::string& body) {
  // Clients that count the final line break into the body are forgiven.
  std::string text = body;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();

  Form form;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string::npos) end = text.size();
    const std::string field = text.substr(start, end - start);
    start = end + 1;
    if (field.empty()) continue;

    const size_t equals = field.find('=');
    const auto name = PercentDecode(field.substr(0, equals));
    const auto value = PercentDecode(equals == std::string::npos ? std::string() : field.substr(equals + 1));
    if (!name || !value) return std::nullopt;
    if (!form.emplace(*name, *value).second) return std::nullopt;
  }
  return form;
}

std::optional<int32_t> ParseDecimal(const std::string& text, bool allowNegative) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative && !allowNegative) return std::nullopt;
  const size_t firstDigit = negative ? 1 : 0;
  if (text.size() == firstDigit || text.size() - firstDigit > 10) return std::nullopt;

  int64_t value = 0;
  for (size_t i = firstDigit; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

}  // namespace highscored
