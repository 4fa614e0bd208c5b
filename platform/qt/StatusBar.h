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
  // The panels.
  static constexpr int MessagePanel = 0;   // progress and result texts
  static constexpr int FeedbackPanel = 1;  // the feedback address

  StatusBar(QWidget* parent, int panel0Width);

  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  QLabel* PanelLabel(int panel) const;

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QLabel* panels_[FeedbackPanel + 1];
};

}  // namespace platform
