#pragma once
// Controller models and firmware versions as the parameter page knows them,
// the names of their data files, and the page's model and version buttons.
//
//   model index    0    1    2    3    4    5        version index  0   1  2
//   model        102  202  302  101  200  300        version       SD   K  M
//
// Models 102/202/302 are the "ZAR X02" type and come in three firmware
// versions, each with its own definition file; 101/200/300 ("ZAR X00/X01")
// have one definition file whatever the version. Auto-detection, the window
// and zarctl all speak in these indexes.

#include <optional>
#include <string>
#include <string_view>

namespace zar::param {

inline constexpr int kModelCount = 6;
inline constexpr int kVersionCount = 3;

// The page's state at start-up: model 102, version K.
inline constexpr int kStartModel = 0;
inline constexpr int kStartVersion = 1;

// Display languages: 0 Chinese (Big5 data files), 1 English.
inline constexpr int kChinese = 0;
inline constexpr int kEnglish = 1;

bool validModel(int modelIndex);
bool validVersion(int versionIndex);
// Whether the model's definition files depend on the firmware version.
bool hasVersions(int modelIndex);

// 102, 202, 302, 101, 200, 300 (0 for an index outside 0..5).
int modelNumber(int modelIndex);
// The index of a model number, e.g. 202 -> 1.
std::optional<int> modelIndexOf(int modelNumber);
// "SD", "K", "M" ("" for an index outside 0..2).
std::string_view versionName(int versionIndex);
// The index of "SD", "K" or "M" (upper or lower case).
std::optional<int> versionIndexOf(std::string_view name);

// The two names under which a model's definition file is looked for: the
// primary name carries the version (X02 models only) and the language
// suffix, the fallback only the language suffix; for X00 models both are the
// same. E.g. model 0, version 1: "102ParK.txt" / "102Par.txt" in Chinese,
// "102ParKE.txt" / "102ParE.txt" in English.
struct DefinitionFileNames {
  std::string primary;
  std::string fallback;
};
DefinitionFileNames definitionFileNames(int modelIndex, int versionIndex, int language);
// The model's address table: "Z102Add.Ini", "Z202AddE.Ini"; "X.Ini" or
// "XE.Ini" for the X00 models (normally not shipped: their tables stay empty).
std::string addressTableFileName(int modelIndex, int language);

// ---- The page's model and version radio buttons. They act when they take
// the input focus: the version may change with the model (102 runs version K
// by default, 202 and 302 version SD), then the list is rebuilt.

enum class SelectorButton {
  ZAR102, ZAR202, ZAR302, ZAR101, ZAR200, ZAR300,  // ZAR102RadioButton ...
  VerSD, VerK, VerM,                               // VerSDRadioBtn ...
};

struct ModelVersion {
  int model = kStartModel;
  int version = kStartVersion;
  bool operator==(const ModelVersion&) const = default;
};

// The model and version once `button` has taken the focus from `current`.
// The version button to show checked is the one of the result's version;
// the list is then built for the result's model.
ModelVersion enterSelector(SelectorButton button, ModelVersion current);
// The model button of a model index and the version button of a version index.
SelectorButton modelButton(int modelIndex);
SelectorButton versionButton(int versionIndex);

}  // namespace zar::param
