#pragma once
#include <QImage>

// The six 16 x 16, 24-bit check glyphs of the results grid, drawn by the
// program: unchecked and checked, each normal, hot and pressed.
namespace results {

enum class GlyphLook { Normal, Hot, Pressed };

constexpr int GlyphSize = 16;

// Image1..Image6 in that order: unchecked normal/hot/pressed, then checked.
QImage MakeGlyph(bool checked, GlyphLook look);

}  // namespace results
