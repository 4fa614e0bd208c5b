#include "platform/qt/StatusBar.h"

#include <QEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QToolTip>
#include <algorithm>

namespace platform {

namespace {
// Pixels around the panels and between them, and the room a sunken panel's
// frame and margin take from its text.
constexpr int OuterLeft = 1, OuterTop = 2, OuterRight = 1, OuterBottom = 1;
constexpr int Gap = 2;
constexpr int TextRoom = 6;
}  // namespace

StatusBar::StatusBar(QWidget* parent, int panel0Width) : QFrame(parent), panel0Width_(panel0Width) {
  for (int i = 0; i < PanelCount; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels_[i]->setTextFormat(Qt::PlainText);
    // Clicks on a panel reach the bar.
    panels_[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  panels_[FeedbackPanel]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

QString StatusBar::PanelText(int panel) const { return texts_[panel]; }

void StatusBar::SetPanelText(int panel, const QString& text) {
  if (texts_[panel] == text) return;
  texts_[panel] = text;
  // Only the count panel's width follows its text.
  if (panel == CountPanel) {
    Relayout();
  } else {
    ShowTexts();
  }
}

QLabel* StatusBar::PanelLabel(int panel) const { return panels_[panel]; }

void StatusBar::AddControl(QWidget* control) {
  control->setParent(this);
  control->installEventFilter(this);
  controls_.push_back(control);
  Relayout();
}

std::array<int, StatusBar::PanelCount> StatusBar::FitPanels(
    int available, const std::array<int, PanelCount>& wanted) {
  std::array<int, PanelCount> width{};
  int left = std::max(0, available);
  // The count is kept longest, then the feedback address; panel 0 gives way.
  for (int panel : {CountPanel, FeedbackPanel, MessagePanel}) {
    width[panel] = std::min(wanted[panel], left);
    left -= width[panel];
  }
  width[FeedbackPanel] += left;
  return width;
}

void StatusBar::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  Relayout();
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event) {
  // A control shown or hidden: the panels make room for it or take it back.
  if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
    Relayout();
  }
  return QFrame::eventFilter(watched, event);
}

bool StatusBar::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const QPoint pos = static_cast<QHelpEvent*>(event)->pos();
    for (int i = 0; i < PanelCount; ++i) {
      if (panels_[i]->geometry().contains(pos) && panels_[i]->text() != texts_[i]) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), texts_[i], this);
        return true;
      }
    }
  }
  return QFrame::event(event);
}

namespace {

// A control's width as its size limits allow its wish.
int ControlWidth(const QWidget* control) {
  return std::clamp(control->sizeHint().width(), control->minimumWidth(),
                    control->maximumWidth());
}

}  // namespace

void StatusBar::Relayout() {
  const int height = this->height() - OuterTop - OuterBottom;
  int controlsWidth = 0;
  for (QWidget* control : controls_) {
    if (!control->isHidden()) controlsWidth += ControlWidth(control) + Gap;
  }
  const int gaps = Gap * (PanelCount - 1);
  const int available = width() - OuterLeft - OuterRight - gaps - controlsWidth;
  const QFontMetrics metrics = fontMetrics();
  const std::array<int, PanelCount> widths = FitPanels(
      available, {panel0Width_, metrics.horizontalAdvance(texts_[FeedbackPanel]) + TextRoom,
                  texts_[CountPanel].isEmpty()
                      ? 0
                      : metrics.horizontalAdvance(texts_[CountPanel]) + TextRoom});
  int x = OuterLeft;
  auto place = [&](QWidget* widget, int w) {
    widget->setGeometry(x, OuterTop, w, height);
    x += w + Gap;
  };
  place(panels_[MessagePanel], widths[MessagePanel]);
  for (QWidget* control : controls_) {
    if (!control->isHidden()) place(control, ControlWidth(control));
  }
  place(panels_[CountPanel], widths[CountPanel]);
  place(panels_[FeedbackPanel], widths[FeedbackPanel]);
  panels_[CountPanel]->setVisible(widths[CountPanel] > 0);
  ShowTexts();
}

void StatusBar::ShowTexts() {
  for (int i = 0; i < PanelCount; ++i) {
    QLabel* panel = panels_[i];
    const int room = std::max(0, panel->width() - TextRoom);
    const QFontMetrics metrics = panel->fontMetrics();
    panel->setText(metrics.horizontalAdvance(texts_[i]) <= room
                       ? texts_[i]
                       : metrics.elidedText(texts_[i], Qt::ElideRight, room));
  }
}

void StatusBar::mouseReleaseEvent(QMouseEvent* event) {
  QFrame::mouseReleaseEvent(event);
  if (rect().contains(event->position().toPoint())) emit Clicked();
}

}  // namespace platform
