#pragma once
#include <QFrame>
#include <QString>

class QLabel;

// A status bar with three panels: panel 0 of a fixed width for progress and
// result texts, panel 1 taking the rest with right-aligned text, and the
// count panel between them, as wide as its text. A click anywhere on it
// emits Clicked.
namespace platform {

class StatusBar : public QFrame {
  Q_OBJECT
 public:
  // The panels.
  static constexpr int MessagePanel = 0;   // progress and result texts
  static constexpr int FeedbackPanel = 1;  // the feedback address
  static constexpr int CountPanel = 2;     // what the Delete command would take

  StatusBar(QWidget* parent, int panel0Width);

  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  QLabel* PanelLabel(int panel) const;

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QLabel* panels_[CountPanel + 1];
};

}  // namespace platform
