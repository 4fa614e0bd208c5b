#include "analysis/UseReason.h"

namespace analysis {

namespace {

// A rule's text, and whether the referrer (the read file that gave it)
// follows as " in <path>". Rules that a file meets by itself have none.
struct TReasonText {
  const char* text;
  bool namesReferrer;
};

TReasonText ReasonTextOf(TUseRule rule) {
  switch (rule) {
    case TUseRule::None: break;
    case TUseRule::EntryFile: return {"Entry file", false};
    case TUseRule::Named: return {"Named", true};
    case TUseRule::NamesAFile: return {"Names a file of the project", false};
    case TUseRule::EngineEntryFile: return {"Run by the CFML engine", false};
    case TUseRule::ConventionFile: return {"Fetched by convention", false};
    case TUseRule::CustomTag: return {"Custom tag called", true};
    case TUseRule::Component: return {"Component named", true};
    case TUseRule::Template: return {"Template named", true};
    case TUseRule::TagLibrary: return {"Tag of an imported library, called", true};
    case TUseRule::NamePrefix: return {"Name computed", true};
    case TUseRule::Folder: return {"Path computed below its folder", true};
    case TUseRule::EngineRegistered: return {"Registered by the engine (ORM, remote, REST)", false};
    case TUseRule::JavaLoadPath: return {"Java load path set", true};
    case TUseRule::TestBundle: return {"Test bundle", false};
    case TUseRule::FolderLiteral: return {"Below a folder that a path literal names", true};
    case TUseRule::SchemaRef: return {"Named by a $ref", true};
    case TUseRule::StyleImport: return {"Style sheet imported", true};
    case TUseRule::ModuleSpecifier: return {"Script module imported", true};
    case TUseRule::EditorPlugin: return {"Editor plugin listed", true};
    case TUseRule::NameSuffix: return {"Name computed from a literal suffix", true};
    case TUseRule::KeptByList: return {"Kept by", false};
    case TUseRule::KeepListFile: return {"The project's keep list", false};
    case TUseRule::NotNamed: return {"No page, include, style sheet or script names this file", false};
  }
  return {"", false};
}

}  // namespace

std::string UseReasonText(const TFileName& entry) {
  // An unused row says so only when the analysis looked: a run that ended
  // early leaves the rest without a verdict.
  if (entry.Unused != 0 && entry.Reason != TUseRule::NotNamed) return {};
  const TReasonText reason = ReasonTextOf(entry.Reason);
  std::string text = reason.text;
  const std::string line = entry.ReasonLine > 0 ? " line " + std::to_string(entry.ReasonLine) : "";
  if (entry.Reason == TUseRule::KeptByList) return text + " " + entry.Referrer + line;
  if (reason.namesReferrer && !entry.Referrer.empty()) text += " in " + entry.Referrer + line;
  return text;
}

}  // namespace analysis
