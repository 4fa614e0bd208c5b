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
    case TUseRule::KeptByList: return {"Kept by", false};
    case TUseRule::KeepListFile: return {"The project's keep list", false};
  }
  return {"", false};
}

}  // namespace

std::string UseReasonText(const TFileName& entry) {
  if (entry.Unused != 0) return {};
  const TReasonText reason = ReasonTextOf(entry.Reason);
  std::string text = reason.text;
  if (entry.Reason == TUseRule::KeptByList) {
    return text + " " + entry.Referrer + " line " + std::to_string(entry.ReasonLine);
  }
  if (reason.namesReferrer && !entry.Referrer.empty()) text += " in " + entry.Referrer;
  return text;
}

}  // namespace analysis
