#pragma once
#include <QImage>
#include <QString>
#include <functional>
#include <vector>

#include "gif/Streams.h"

// The picture-format registry: file extension -> description and a loader
// that makes an image from a stream. Window thread only.
namespace gif {

struct TPictureFormat {
  QString Extension;    // lower case, without the dot
  QString Description;
  const void* Class;    // identifies the registering class, for removal
  std::function<QImage(TStream&)> Load;
};

void RegisterFileFormat(const QString& extension, const QString& description, const void* cls,
                        std::function<QImage(TStream&)> load);
void UnregisterGraphicClass(const void* cls);
// The format for an extension (any case), or nullptr.
const TPictureFormat* FindFileFormat(const QString& extension);

}  // namespace gif
