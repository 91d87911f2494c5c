#include "link/GarbledText.h"

namespace zar {

namespace {

constexpr int kChinese = 0;

bool isControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }
bool isBig5Lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool isBig5Trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0xA1 && c <= 0xFE); }

}  // namespace

size_t firstGarbledByte(std::string_view text, int language) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (isControl(c)) return i;
      continue;
    }
    if (language != kChinese || !isBig5Lead(c)) return i;
    if (i + 1 >= text.size() || !isBig5Trail(static_cast<unsigned char>(text[i + 1]))) return i;
    ++i;  // the trail byte of a two-byte character
  }
  return std::string_view::npos;
}

void GarbledReplies::start(int language) {
  language_ = language;
  listed_.clear();
  count_ = 0;
}

bool GarbledReplies::check(size_t number, std::string_view text) {
  if (!looksGarbled(text, language_)) return false;
  if (listed_.size() < kListed) listed_.push_back(number);
  ++count_;
  return true;
}

std::string GarbledReplies::warning() const {
  if (count_ == 0) return {};
  const bool one = count_ == 1;
  std::string text = "Warning: ";
  text += one ? wording_.one : wording_.many;
  text += ' ';
  const size_t more = count_ - listed_.size();
  for (size_t i = 0; i < listed_.size(); ++i) {
    if (i > 0) text += (i + 1 == listed_.size() && more == 0) ? " and " : ", ";
    text += std::to_string(listed_[i]);
  }
  if (more > 0) text += " and " + std::to_string(more) + " more";
  text += one ? " arrived garbled (control characters, or bytes the catalog's language does not use); it is kept "
                "as it arrived: "
              : " arrived garbled (control characters, or bytes the catalog's language does not use); they are "
                "kept as they arrived: ";
  text += wording_.advice;
  text += '.';
  return text;
}

}  // namespace zar
