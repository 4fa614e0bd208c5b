#pragma once
#include <functional>
#include <memory>
#include <string>

#include "app/Main.h"

// The one way tests reach the main window's own controls and handlers: the
// same names as the window's, bound to one window.
class TFrmmainTestAccess {
 public:
  explicit TFrmmainTestAccess(TFrmmain& w)
      : Panel1(w.Panel1), Panel3(w.Panel3), Panel4(w.Panel4), ImgJPEGAd(w.ImgJPEGAd),
        CBProjectDir(w.CBProjectDir), BtnProcess(w.BtnProcess), BtnDelete(w.BtnDelete),
        Splitter1(w.Splitter1), ShellTreeView1(w.ShellTreeView1), StringGrid1(w.StringGrid1),
        StatusBar1(w.StatusBar1), DeleteAll1(w.DeleteAll1), UncheckAll1(w.UncheckAll1),
        Restoreselectedstate1(w.Restoreselectedstate1), Delete1(w.Delete1), Alwayskeep1(w.Alwayskeep1),
        MovetoTrash1(w.MovetoTrash1), Restorelastdeletion1(w.Restorelastdeletion1),
        N3(w.N3), Open1(w.Open1), Opencontainingfolder1(w.Opencontainingfolder1),
        Copypath1(w.Copypath1), Showcheckedrowsonly1(w.Showcheckedrowsonly1),
        Exportlist1(w.Exportlist1), PanelFind(w.PanelFind), EdtFind(w.EdtFind),
        ProgressBar1(w.ProgressBar1), BtnCancel(w.BtnCancel), PopupMenu1(w.PopupMenu1),
        Timer1(w.Timer1),
        GifAd(w.GifAd), AdLoader(w.AdLoader), Link(w.Link), HelpWindow(w.HelpWindow),
        ConfirmDelete(w.ConfirmDelete), ChooseExportFile(w.ChooseExportFile), w_(w) {}

  platform::Panel*& Panel1;
  platform::Panel*& Panel3;
  platform::Panel*& Panel4;
  platform::ImageControl*& ImgJPEGAd;
  QComboBox*& CBProjectDir;
  QPushButton*& BtnProcess;
  QPushButton*& BtnDelete;
  QSplitter*& Splitter1;
  TShellTreeView*& ShellTreeView1;
  results::TStringGrid*& StringGrid1;
  platform::StatusBar*& StatusBar1;
  QAction*& DeleteAll1;
  QAction*& UncheckAll1;
  QAction*& Restoreselectedstate1;
  QAction*& Delete1;
  QAction*& Alwayskeep1;
  QAction*& MovetoTrash1;
  QAction*& Restorelastdeletion1;
  QAction*& N3;
  QAction*& Open1;
  QAction*& Opencontainingfolder1;
  QAction*& Copypath1;
  QAction*& Showcheckedrowsonly1;
  QAction*& Exportlist1;
  QWidget*& PanelFind;
  QLineEdit*& EdtFind;
  QProgressBar*& ProgressBar1;
  QPushButton*& BtnCancel;
  QMenu*& PopupMenu1;
  QTimer*& Timer1;
  banner::TGifImage*& GifAd;
  AdImageLoader*& AdLoader;
  TOpenLink*& Link;
  THelpWindow*& HelpWindow;
  std::function<int()>& ConfirmDelete;
  std::function<TExportChoice()>& ChooseExportFile;

  void BtnProcessClick() { w_.BtnProcessClick(); }
  void BtnDeleteClick() { w_.BtnDeleteClick(); }
  void DeleteAll1Click() { w_.DeleteAll1Click(); }
  void UncheckAll1Click() { w_.UncheckAll1Click(); }
  void Restoreselectedstate1Click() { w_.Restoreselectedstate1Click(); }
  void Timer1Timer() { w_.Timer1Timer(); }
  void ImgAdClick() { w_.ImgAdClick(); }
  void ShowHelp() { w_.ShowHelp(); }
  void SetLinkUrl(const std::string& url) { w_.SetLinkUrl(url); }
  void FillGrid() { w_.FillGrid(); }
  bool UpdateRecentDirs(const std::string& dir) { return w_.UpdateRecentDirs(dir); }
  bool Processing() const { return w_.Processing(); }

 private:
  TFrmmain& w_;
};

namespace testsupport {

// A window under test: owns the window; -> reaches its own members through
// TFrmmainTestAccess, get() is the widget itself.
class WindowUnderTest {
 public:
  void reset(TFrmmain* window = nullptr) {
    access_.reset();
    window_.reset(window);
    if (window_) access_ = std::make_unique<TFrmmainTestAccess>(*window_);
  }
  TFrmmain* get() const { return window_.get(); }
  TFrmmainTestAccess* operator->() const { return access_.get(); }
  explicit operator bool() const { return window_ != nullptr; }

 private:
  std::unique_ptr<TFrmmain> window_;
  std::unique_ptr<TFrmmainTestAccess> access_;
};

}  // namespace testsupport
