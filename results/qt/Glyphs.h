#pragma once
#include <QImage>

// The six 16 x 16, 24-bit check glyphs of the results grid, drawn by the
// program: unchecked and checked, each normal, hot and pressed.
namespace results {

enum class GlyphLook { Normal, Hot, Pressed };

constexpr int GlyphSize = 16;
constexpr int GlyphLooks = 3;
constexpr int GlyphCount = 2 * GlyphLooks;

// The number of a glyph, 0..5 for Image1..Image6: unchecked normal, hot,
// pressed, then the same checked.
constexpr int GlyphIndex(bool checked, GlyphLook look) {
  return (checked ? GlyphLooks : 0) + static_cast<int>(look);
}
constexpr bool GlyphChecked(int index) { return index >= GlyphLooks; }
constexpr GlyphLook GlyphLookOf(int index) { return static_cast<GlyphLook>(index % GlyphLooks); }

// The glyph of that state and look.
QImage MakeGlyph(bool checked, GlyphLook look);

}  // namespace results
