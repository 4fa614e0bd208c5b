#pragma once
#include <QFrame>
#include <QString>

class QLabel;

// A status bar with two panels: panel 0 of a fixed width for progress and
// result texts, panel 1 taking the rest with right-aligned text. A click
// anywhere on it emits Clicked.
namespace platform {

class StatusBar : public QFrame {
  Q_OBJECT
 public:
  StatusBar(QWidget* parent, int panel0Width);

  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  QLabel* PanelLabel(int panel) const;

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QLabel* panels_[2];
};

}  // namespace platform
