#include "platform/qt/StatusBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

namespace platform {

StatusBar::StatusBar(QWidget* parent, int panel0Width) : QFrame(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(1, 2, 1, 1);
  layout->setSpacing(2);
  for (int i = 0; i <= CountPanel; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels_[i]->setTextFormat(Qt::PlainText);
    // Clicks on a panel reach the bar.
    panels_[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  panels_[0]->setFixedWidth(panel0Width);
  panels_[1]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  layout->addWidget(panels_[MessagePanel]);
  layout->addWidget(panels_[CountPanel]);
  layout->addWidget(panels_[FeedbackPanel], 1);
}

QString StatusBar::PanelText(int panel) const { return panels_[panel]->text(); }
void StatusBar::SetPanelText(int panel, const QString& text) { panels_[panel]->setText(text); }
QLabel* StatusBar::PanelLabel(int panel) const { return panels_[panel]; }

void StatusBar::mouseReleaseEvent(QMouseEvent* event) {
  QFrame::mouseReleaseEvent(event);
  if (rect().contains(event->position().toPoint())) emit Clicked();
}

}  // namespace platform
