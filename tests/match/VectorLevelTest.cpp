#include <gtest/gtest.h>

#include <string>

#include "match/VectorLevel.h"

namespace {

using match::TVectorLevel;

struct SettingCase {
  const char* what;
  const char* setting;  // nullptr: unset
  TVectorLevel supported;
  TVectorLevel chosen;
  const char* note;
};

void PrintTo(const SettingCase& c, std::ostream* os) { *os << c.what; }

class VectorLevelSetting : public testing::TestWithParam<SettingCase> {};

TEST_P(VectorLevelSetting, LimitsTheLevelOrNotesWhyNot) {
  std::string note = "left over";
  EXPECT_EQ(match::LimitedVectorLevel(GetParam().setting, GetParam().supported, note),
            GetParam().chosen);
  EXPECT_EQ(note, GetParam().note);
}

constexpr TVectorLevel None = TVectorLevel::None, Avx2 = TVectorLevel::Avx2,
                       Avx512 = TVectorLevel::Avx512;

INSTANTIATE_TEST_SUITE_P(
    Settings, VectorLevelSetting,
    testing::Values(
        SettingCase{"unset", nullptr, Avx512, Avx512, ""},
        SettingCase{"lower than the processor's", "scalar", Avx2, None, ""},
        SettingCase{"between", "avx2", Avx512, Avx2, ""},
        SettingCase{"the processor's own", "avx2", Avx2, Avx2, ""},
        SettingCase{"lacking", "avx512", Avx2, Avx2,
                    "quilmere: QUILMERE_VECTOR_LEVEL=avx512: this CPU lacks it; using avx2"},
        SettingCase{"lacking, no vectors", "avx2", None, None,
                    "quilmere: QUILMERE_VECTOR_LEVEL=avx2: this CPU lacks it; using scalar"},
        SettingCase{"unknown", "AVX2", Avx2, Avx2,
                    "quilmere: QUILMERE_VECTOR_LEVEL=AVX2: unknown level (scalar, avx2 or "
                    "avx512); ignored"},
        SettingCase{"empty", "", None, None,
                    "quilmere: QUILMERE_VECTOR_LEVEL=: unknown level (scalar, avx2 or avx512); "
                    "ignored"}));

}  // namespace
