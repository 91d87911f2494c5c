#include "param/ParameterModels.h"

#include <array>

namespace zar::param {

namespace {

constexpr std::array<int, kModelCount> kModelNumbers = {102, 202, 302, 101, 200, 300};
constexpr std::array<std::string_view, kVersionCount> kVersionNames = {"SD", "K", "M"};

std::string_view languageSuffix(int language) { return language == kChinese ? "" : "E"; }

}  // namespace

bool validModel(int modelIndex) { return modelIndex >= 0 && modelIndex < kModelCount; }
bool validVersion(int versionIndex) { return versionIndex >= 0 && versionIndex < kVersionCount; }
bool hasVersions(int modelIndex) { return modelIndex >= 0 && modelIndex <= 2; }

int modelNumber(int modelIndex) {
  return validModel(modelIndex) ? kModelNumbers[static_cast<size_t>(modelIndex)] : 0;
}

std::optional<int> modelIndexOf(int number) {
  for (int i = 0; i < kModelCount; ++i)
    if (kModelNumbers[static_cast<size_t>(i)] == number) return i;
  return std::nullopt;
}

std::string_view versionName(int versionIndex) {
  return validVersion(versionIndex) ? kVersionNames[static_cast<size_t>(versionIndex)] : "";
}

std::optional<int> versionIndexOf(std::string_view name) {
  std::string upper(name);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (int i = 0; i < kVersionCount; ++i)
    if (kVersionNames[static_cast<size_t>(i)] == upper) return i;
  return std::nullopt;
}

DefinitionFileNames definitionFileNames(int modelIndex, int versionIndex, int language) {
  const std::string base = std::to_string(modelNumber(modelIndex)) + "Par";
  const std::string tail = std::string(languageSuffix(language)) + ".txt";
  DefinitionFileNames names;
  names.fallback = base + tail;
  names.primary = hasVersions(modelIndex) ? base + std::string(versionName(versionIndex)) + tail
                                          : names.fallback;
  return names;
}

std::string addressTableFileName(int modelIndex, int language) {
  const std::string base = hasVersions(modelIndex) ? "Z" + std::to_string(modelNumber(modelIndex)) + "Add"
                                                   : std::string("X");
  return base + std::string(languageSuffix(language)) + ".Ini";
}

ModelVersion enterSelector(SelectorButton button, ModelVersion current) {
  switch (button) {
    case SelectorButton::ZAR102: return {0, 1};
    case SelectorButton::ZAR202: return {1, 0};
    case SelectorButton::ZAR302: return {2, 0};
    case SelectorButton::ZAR101: return {3, current.version};
    case SelectorButton::ZAR200: return {4, current.version};
    case SelectorButton::ZAR300: return {5, current.version};
    case SelectorButton::VerSD: return {current.model, 0};
    case SelectorButton::VerK: return {current.model, 1};
    case SelectorButton::VerM: return {current.model, 2};
  }
  return current;
}

SelectorButton modelButton(int modelIndex) {
  static constexpr std::array<SelectorButton, kModelCount> buttons = {
      SelectorButton::ZAR102, SelectorButton::ZAR202, SelectorButton::ZAR302,
      SelectorButton::ZAR101, SelectorButton::ZAR200, SelectorButton::ZAR300};
  return buttons[static_cast<size_t>(validModel(modelIndex) ? modelIndex : kStartModel)];
}

SelectorButton versionButton(int versionIndex) {
  static constexpr std::array<SelectorButton, kVersionCount> buttons = {
      SelectorButton::VerSD, SelectorButton::VerK, SelectorButton::VerM};
  return buttons[static_cast<size_t>(validVersion(versionIndex) ? versionIndex : kStartVersion)];
}

}  // namespace zar::param
