#include "gif/qt/PictureFormats.h"

#include <algorithm>

namespace gif {

namespace {
std::vector<TPictureFormat>& Formats() {
  static std::vector<TPictureFormat> formats;
  return formats;
}
}  // namespace

void RegisterFileFormat(const QString& extension, const QString& description, const void* cls,
                        std::function<QImage(TStream&)> load) {
  Formats().push_back({extension.toLower(), description, cls, std::move(load)});
}

void UnregisterGraphicClass(const void* cls) {
  auto& f = Formats();
  f.erase(std::remove_if(f.begin(), f.end(), [cls](const TPictureFormat& p) { return p.Class == cls; }),
          f.end());
}

const TPictureFormat* FindFileFormat(const QString& extension) {
  for (const TPictureFormat& p : Formats())
    if (p.Extension == extension.toLower()) return &p;
  return nullptr;
}

}  // namespace gif
