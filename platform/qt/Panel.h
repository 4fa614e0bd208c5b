#pragma once
#include <QFrame>
#include <QString>

// A panel: a frame with an optional bevel and a caption drawn in its middle,
// which children laid over it cover (the results panel's "Loading ...").
namespace platform {

class Panel : public QFrame {
  Q_OBJECT
 public:
  enum class Bevel { None, RaisedInner };
  explicit Panel(QWidget* parent = nullptr, Bevel bevel = Bevel::None);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
};

}  // namespace platform
