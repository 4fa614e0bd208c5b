// The main window's controls at their design places and sizes (120 pixels
// per inch, scaled with the screen's resolution).
#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QHBoxLayout>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "analysis/FileTable.h"
#include "app/Config.h"
#include "app/FolderTree.h"
#include "app/Main.h"
#include "platform/qt/DesignUnits.h"
#include "banner/qt/GifImgs.h"
#include "platform/qt/ImageControl.h"
#include "platform/qt/Panel.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/Glyphs.h"
#include "results/qt/StringGrid.h"

using platform::Du;

namespace {

// The banner keeps its centre at the same fraction of the panel's width, as a
// control anchored to the top edge only does.
class BannerPanel : public platform::Panel {
 public:
  BannerPanel(QWidget* parent, TFrmmain* window) : platform::Panel(parent), window_(window) {}

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  TFrmmain* window_;
};

// Design width of the window's client area, which Panel1 and Panel4 fill.
constexpr int kDesignClientWidth = 592;
constexpr int kBannerLeft = 76, kBannerTop = 10, kBannerWidth = 576, kBannerHeight = 74;

void BannerPanel::resizeEvent(QResizeEvent* event) {
  platform::Panel::resizeEvent(event);
  const double centre = (kBannerLeft + kBannerWidth / 2.0) / kDesignClientWidth;
  for (QWidget* banner : {static_cast<QWidget*>(window_->ImgJPEGAd),
                          static_cast<QWidget*>(window_->GifAd)}) {
    if (banner == nullptr) continue;
    const int left = static_cast<int>(width() * centre) - banner->width() / 2;
    banner->move(left, banner->y());
  }
}

}  // namespace

void TFrmmain::CreateControls() {
  setWindowTitle(QStringLiteral("Quilmere"));
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(Du(this, 13));
  setFont(font);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Panel1 = new platform::Panel(this, platform::Panel::Bevel::RaisedInner);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(Du(this, 137));
  layout->addWidget(Panel1);

  Panel4 = new BannerPanel(Panel1, this);
  Panel4->setObjectName(QStringLiteral("Panel4"));
  auto* panel1Layout = new QVBoxLayout(Panel1);
  panel1Layout->setContentsMargins(1, 1, 1, 0);
  panel1Layout->setSpacing(0);
  Panel4->setFixedHeight(Du(this, 85));
  panel1Layout->addWidget(Panel4);
  panel1Layout->addStretch(1);

  ImgJPEGAd = new platform::ImageControl(Panel4);
  ImgJPEGAd->setObjectName(QStringLiteral("ImgJPEGAd"));
  ImgJPEGAd->setGeometry(Du(this, kBannerLeft), Du(this, kBannerTop), Du(this, kBannerWidth),
                         Du(this, kBannerHeight));
  ImgJPEGAd->setCursor(Qt::PointingHandCursor);

  Label1 = new QLabel(QStringLiteral("Project Directory"), Panel1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(Du(this, 6), Du(this, 103));
  Label1->adjustSize();

  CBProjectDir = new QComboBox(Panel1);
  CBProjectDir->setObjectName(QStringLiteral("CBProjectDir"));
  CBProjectDir->setEditable(true);
  CBProjectDir->setInsertPolicy(QComboBox::NoInsert);
  CBProjectDir->setGeometry(Du(this, 112), Du(this, 98), Du(this, 305),
                            CBProjectDir->sizeHint().height());

  BtnProcess = new QPushButton(QStringLiteral("&Process"), Panel1);
  BtnProcess->setObjectName(QStringLiteral("BtnProcess"));
  BtnProcess->setGeometry(Du(this, 422), Du(this, 89), Du(this, 83), Du(this, 32));
  BtnProcess->setDefault(true);

  BtnDelete = new QPushButton(QStringLiteral("&Delete"), Panel1);
  BtnDelete->setObjectName(QStringLiteral("BtnDelete"));
  BtnDelete->setGeometry(Du(this, 512), Du(this, 90), Du(this, 81), Du(this, 31));
  BtnDelete->setEnabled(false);

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setHandleWidth(Du(this, 5));
  Splitter1->setChildrenCollapsible(false);
  layout->addWidget(Splitter1, 1);

  Panel3 = new platform::Panel(Splitter1);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  auto* panel3Layout = new QVBoxLayout(Panel3);
  panel3Layout->setContentsMargins(0, 0, 0, 0);
  ShellTreeView1 = new TShellTreeView(Panel3);
  ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
  ShellTreeView1->setIndentation(Du(this, 19));
  // The tree opens at the user's own folders.
  ShellTreeView1->RevealPath(QDir::homePath());
  panel3Layout->addWidget(ShellTreeView1);

  Panel2 = new platform::Panel(Splitter1);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->SetCaption(QStringLiteral("Loading ..."));
  auto* panel2Layout = new QVBoxLayout(Panel2);
  panel2Layout->setContentsMargins(0, 0, 0, 0);
  StringGrid1 = new results::TStringGrid(Panel2, analysis::FileTable, 3, 2, Du(this, 128), Du(this, 24));
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->SetColWidth(0, Du(this, 77));
  StringGrid1->SetColWidth(1, Du(this, 186));
  StringGrid1->SetColWidth(2, Du(this, 234));
  panel2Layout->addWidget(StringGrid1);

  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({Du(this, 228), Du(this, 600 - 228)});

  StatusBar1 = new platform::StatusBar(this, Du(this, 450));
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(Du(this, 29));
  StatusBar1->setCursor(Qt::PointingHandCursor);
  StatusBar1->setToolTip(QStringLiteral("Click to send feedback to Orvanta"));
  layout->addWidget(StatusBar1);


  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(60000);
  Timer1->start();

  setMinimumSize(Du(this, 600), Du(this, 360));
  resize(Du(this, 600), Du(this, 380));
  if (const QScreen* screen = this->screen()) {
    const QRect available = screen->availableGeometry();
    move(available.center() - rect().center());
  }
}

// The glyph pictures sit hidden on Panel2; the grid draws its own copies.
void TFrmmain::CreateGlyphImages() {
  QLabel** images[] = {&Image1, &Image2, &Image3, &Image4, &Image5, &Image6};
  for (int i = 0; i < 6; ++i) {
    QLabel* image = new QLabel(Panel2);
    image->setObjectName(QStringLiteral("Image%1").arg(i + 1));
    image->setPixmap(QPixmap::fromImage(
        StringGrid1->Glyph(i >= 3, static_cast<results::GlyphLook>(i % 3))));
    image->hide();
    *images[i] = image;
  }
}

void TFrmmain::CreatePopupMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  DeleteAll1 = PopupMenu1->addAction(QStringLiteral("Check all selected"));
  UncheckAll1 = PopupMenu1->addAction(QStringLiteral("Uncheck all selected"));
  Restoreselectedstate1 = PopupMenu1->addAction(QStringLiteral("&Restore selected state"));
  N1 = PopupMenu1->addSeparator();
  Delete1 = PopupMenu1->addAction(QStringLiteral("Delete"));
  StringGrid1->SetPopupMenu(PopupMenu1);
}
