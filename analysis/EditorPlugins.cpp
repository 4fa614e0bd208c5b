#include "analysis/EditorPlugins.h"

namespace analysis {

namespace {

constexpr TByteClass Before("\"', \t[");
constexpr TByteClass After("\"', \t]");

}  // namespace

void TEditorPlugins::Add(std::int32_t entry, const std::string& upperName,
                         const std::vector<std::string>& folders, const std::string& directory) {
  if (upperName != "PLUGIN.JS" && upperName != "PLUGIN.MIN.JS" && upperName != "PLUGIN.SRC.JS") {
    return;
  }
  const std::size_t n = folders.size();
  if (n < 2 || folders[n - 2] != "PLUGINS") return;
  byName_[folders[n - 1]].push_back({entry, directory});
}

std::vector<TRuleLiteral> TEditorPlugins::Literals() {
  std::vector<TRuleLiteral> literals;
  for (auto& [name, plugins] : byName_) {
    literals.push_back({name, static_cast<std::uint32_t>(groups_.size())});
    groups_.push_back(std::move(plugins));
  }
  byName_.clear();
  return literals;
}

TLook TEditorPlugins::Look(const TTextWindow& text, std::int64_t start, std::int64_t end) {
  if (!Before(text.At(start - 1))) return TLook::Miss;
  const int after = text.At(end);
  if (after == LaterByte) return TLook::Later;
  return After(after) ? TLook::Hit : TLook::Miss;
}

}  // namespace analysis
