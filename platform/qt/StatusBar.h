#pragma once
#include <QFrame>
#include <QString>
#include <array>
#include <vector>

class QLabel;

// A status bar with three panels: panel 0 for progress and result texts, at
// most its design width; the count panel, as wide as its text; and panel 1
// taking the rest with right-aligned text. Controls added with AddControl
// (a run's progress and its Cancel) sit after panel 0 while they are shown.
//
// The panels never overlap: when the bar is too narrow, panel 0 gives way
// first, then panel 1, then the count; a text that does not fit is shown
// shortened with "..." and whole as the tooltip over its panel. A click
// anywhere on the bar (controls aside) emits Clicked. GUI thread; owned by
// its window.
namespace platform {

class StatusBar : public QFrame {
  Q_OBJECT
 public:
  // The panels.
  static constexpr int MessagePanel = 0;   // progress and result texts
  static constexpr int FeedbackPanel = 1;  // the feedback address
  static constexpr int CountPanel = 2;     // what the Delete command would take
  static constexpr int PanelCount = 3;

  StatusBar(QWidget* parent, int panel0Width);

  // The whole text, however much of it the panel shows.
  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  QLabel* PanelLabel(int panel) const;
  // Places control after panel 0 whenever it is visible.
  void AddControl(QWidget* control);

  // The widths of the message, feedback and count panels on a bar whose
  // panels and shown controls may take available pixels: each panel wants
  // its own width (panel 0 its design width, the others their texts'), and
  // panel 1 takes what is left over.
  static std::array<int, PanelCount> FitPanels(int available, const std::array<int, PanelCount>& wanted);

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Relayout();
  // Shows each panel's text, shortened to its width where needed.
  void ShowTexts();

  int panel0Width_;
  QLabel* panels_[PanelCount];
  QString texts_[PanelCount];
  std::vector<QWidget*> controls_;
};

}  // namespace platform
