#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "analysis/VectorLevel.h"
#include "tests/support/TempDir.h"

namespace {

using analysis::TVectorLevel;

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
  EXPECT_EQ(analysis::LimitedVectorLevel(GetParam().setting, GetParam().supported, note),
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

// The built program reads the variable once and says so once.
TEST(BuiltReport, NotesAnUnknownVectorLevelOnce) {
  testsupport::TempDir site, outDir;
  site.Write("index.cfm", "<a href=\"a.gif\">");
  site.Write("a.gif");
  const std::string command = "QUILMERE_VECTOR_LEVEL=fastest " + std::string(QUILMERE_REPORT) +
                              " " + site.Dir() + " >/dev/null 2>" + outDir.Dir() + "err";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream err(outDir.Dir() + "err");
  const std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "quilmere: QUILMERE_VECTOR_LEVEL=fastest: unknown level (scalar, avx2 or avx512); "
            "ignored\n");
}

}  // namespace
