// The main window's controls at their design places and sizes (120 pixels
// per inch, scaled with the screen's resolution).
#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QHBoxLayout>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "analysis/FileTable.h"
#include "app/Config.h"
#include "app/DesignLayout.h"
#include "app/Shortcuts.h"
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

// The banner controls on it keep their centre at the same fraction of the
// panel's width, as controls anchored to the top edge only do.
class BannerPanel : public platform::Panel {
 public:
  explicit BannerPanel(QWidget* parent) : platform::Panel(parent) {}

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

void BannerPanel::resizeEvent(QResizeEvent* event) {
  platform::Panel::resizeEvent(event);
  constexpr const design::TPlace& banner = design::PlaceOf("ImgJPEGAd");
  const double centre = (banner.Left + banner.Width / 2.0) / design::ClientWidth;
  for (QWidget* banner : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const int left = static_cast<int>(width() * centre) - banner->width() / 2;
    banner->move(left, banner->y());
  }
}

}  // namespace

void TFrmmain::CreateControls() {
  setWindowTitle(QStringLiteral("Quilmere"));
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(Du(this, design::FontPixels));
  setFont(font);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Panel1 = new platform::Panel(this, platform::Panel::Bevel::RaisedInner);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(Du(this, design::Panel1Height));
  layout->addWidget(Panel1);

  Panel4 = new BannerPanel(Panel1);
  Panel4->setObjectName(QStringLiteral("Panel4"));
  auto* panel1Layout = new QVBoxLayout(Panel1);
  panel1Layout->setContentsMargins(1, 1, 1, 0);
  panel1Layout->setSpacing(0);
  Panel4->setFixedHeight(Du(this, design::Panel4Height));
  panel1Layout->addWidget(Panel4);
  panel1Layout->addStretch(1);

  ImgJPEGAd = new platform::ImageControl(Panel4);
  ImgJPEGAd->setObjectName(QStringLiteral("ImgJPEGAd"));
  ImgJPEGAd->setCursor(Qt::PointingHandCursor);

  Label1 = new QLabel(QStringLiteral("Project Directory"), Panel1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->adjustSize();

  CBProjectDir = new QComboBox(Panel1);
  CBProjectDir->setObjectName(QStringLiteral("CBProjectDir"));
  CBProjectDir->setEditable(true);
  CBProjectDir->setInsertPolicy(QComboBox::NoInsert);
  CBProjectDir->resize(CBProjectDir->width(), CBProjectDir->sizeHint().height());

  BtnProcess = new QPushButton(QStringLiteral("&Process"), Panel1);
  BtnProcess->setObjectName(QStringLiteral("BtnProcess"));
  BtnProcess->setDefault(true);

  BtnDelete = new QPushButton(QStringLiteral("&Delete"), Panel1);
  BtnDelete->setObjectName(QStringLiteral("BtnDelete"));
  BtnDelete->setEnabled(false);

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setHandleWidth(Du(this, design::SplitterHandle));
  Splitter1->setChildrenCollapsible(false);
  layout->addWidget(Splitter1, 1);

  Panel3 = new platform::Panel(Splitter1);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  auto* panel3Layout = new QVBoxLayout(Panel3);
  panel3Layout->setContentsMargins(0, 0, 0, 0);
  ShellTreeView1 = new TShellTreeView(Panel3);
  ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
  ShellTreeView1->setIndentation(Du(this, design::TreeIndentation));
  // The tree opens at the user's own folders.
  ShellTreeView1->RevealPath(QDir::homePath());
  panel3Layout->addWidget(ShellTreeView1);

  Panel2 = new platform::Panel(Splitter1);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->SetCaption(QStringLiteral("Loading ..."));
  auto* panel2Layout = new QVBoxLayout(Panel2);
  panel2Layout->setContentsMargins(0, 0, 0, 0);
  StringGrid1 = new results::TStringGrid(Panel2, analysis::FileTable, 3, 2,
                                         Du(this, design::GridDefaultColWidth),
                                         Du(this, design::GridRowHeight));
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  for (int col = 0; col < 3; ++col) {
    StringGrid1->SetColWidth(col, Du(this, design::GridColWidths[col]));
  }
  panel2Layout->addWidget(StringGrid1);

  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes(
      {Du(this, design::TreeWidth), Du(this, design::WindowWidth - design::TreeWidth)});

  StatusBar1 = new platform::StatusBar(this, Du(this, design::StatusPanel0Width));
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(Du(this, design::StatusBarHeight));
  StatusBar1->setCursor(Qt::PointingHandCursor);
  StatusBar1->setToolTip(QStringLiteral("Click to send feedback to Orvanta"));
  layout->addWidget(StatusBar1);

  // The hand-placed controls go to their places from the design table.
  for (const design::TPlace& place : design::Places) {
    auto* control = findChild<QWidget*>(QString::fromLatin1(place.Control));
    const int width = place.Width != 0 ? Du(this, place.Width) : control->width();
    const int height = place.Height != 0 ? Du(this, place.Height) : control->height();
    control->setGeometry(Du(this, place.Left), Du(this, place.Top), width, height);
  }

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(60000);
  Timer1->start();

  setMinimumSize(Du(this, design::MinimumWidth), Du(this, design::MinimumHeight));
  resize(Du(this, design::WindowWidth), Du(this, design::WindowHeight));
  if (const QScreen* screen = this->screen()) {
    // Without settings the window takes a share of the screen, never less
    // than its design size nor more than the screen; LoadSettings applies
    // the saved size over it.
    const QRect available = screen->availableGeometry();
    const QSize share = available.size() * design::FirstWindowShare;
    resize(share.expandedTo(size()).boundedTo(available.size()));
    move(available.center() - rect().center());
  }
}

// Below the grid on Panel2, so the grid keeps its place while the box is
// hidden.
void TFrmmain::CreateFindBox() {
  PanelFind = new QWidget(Panel2);
  PanelFind->setObjectName(QStringLiteral("PanelFind"));
  auto* findLayout = new QHBoxLayout(PanelFind);
  findLayout->setContentsMargins(Du(this, design::FindMargin), Du(this, design::FindMargin),
                                 Du(this, design::FindMargin), Du(this, design::FindMargin));
  auto* label = new QLabel(QStringLiteral("Find:"), PanelFind);
  EdtFind = new QLineEdit(PanelFind);
  EdtFind->setObjectName(QStringLiteral("EdtFind"));
  EdtFind->setClearButtonEnabled(true);
  EdtFind->setPlaceholderText(QStringLiteral("part of a path; %1 for the next, %2 to close")
                                  .arg(QString::fromLatin1(shortcuts::FindNext),
                                       QString::fromLatin1(shortcuts::Cancel)));
  label->setBuddy(EdtFind);
  findLayout->addWidget(label);
  findLayout->addWidget(EdtFind, 1);
  Panel2->layout()->addWidget(PanelFind);
  PanelFind->hide();
}

// They sit on the status bar, which places them after the message panel
// while a run shows them.
void TFrmmain::CreateProgressControls() {
  ProgressBar1 = new QProgressBar(StatusBar1);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setFixedWidth(Du(this, design::ProgressBarWidth));
  ProgressBar1->setTextVisible(true);
  // A click on it is a click on the status bar.
  ProgressBar1->setAttribute(Qt::WA_TransparentForMouseEvents);
  ProgressBar1->hide();
  BtnCancel = new QPushButton(QStringLiteral("Cancel"), StatusBar1);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  BtnCancel->setToolTip(QStringLiteral("Cancel the run (%1)").arg(QString::fromLatin1(shortcuts::Cancel)));
  BtnCancel->setFocusPolicy(Qt::NoFocus);
  BtnCancel->hide();
  StatusBar1->AddControl(ProgressBar1);
  StatusBar1->AddControl(BtnCancel);
}

// The glyph pictures sit hidden on Panel2; the grid draws its own copies.
void TFrmmain::CreateGlyphImages() {
  QLabel** images[] = {&Image1, &Image2, &Image3, &Image4, &Image5, &Image6};
  for (int i = 0; i < results::GlyphCount; ++i) {
    QLabel* image = new QLabel(Panel2);
    image->setObjectName(QStringLiteral("Image%1").arg(i + 1));
    image->setPixmap(QPixmap::fromImage(
        StringGrid1->Glyph(results::GlyphChecked(i), results::GlyphLookOf(i))));
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
  N2 = PopupMenu1->addSeparator();
  Alwayskeep1 = PopupMenu1->addAction(QStringLiteral("Always keep"));
  MovetoTrash1 = PopupMenu1->addAction(QStringLiteral("Move to Trash"));
  MovetoTrash1->setCheckable(true);
  Restorelastdeletion1 = PopupMenu1->addAction(QStringLiteral("Restore last deletion"));
  Restorelastdeletion1->setEnabled(false);
  N3 = PopupMenu1->addSeparator();
  Open1 = PopupMenu1->addAction(QStringLiteral("Open"));
  Opencontainingfolder1 = PopupMenu1->addAction(QStringLiteral("Open containing folder"));
  Copypath1 = PopupMenu1->addAction(QStringLiteral("Copy path"));
  N4 = PopupMenu1->addSeparator();
  Showcheckedrowsonly1 = PopupMenu1->addAction(QStringLiteral("Show checked rows only"));
  Showcheckedrowsonly1->setCheckable(true);
  Exportlist1 = PopupMenu1->addAction(QStringLiteral("Export list..."));
  StringGrid1->SetPopupMenu(PopupMenu1);
}
