// The real main window on the Qt view: COrvikDlg on a window thread of its own, Qt on this one.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <memory>
#include <thread>

#include "app/icon.h"
#include "dialog/dialog_template.h"
#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/qt/qt_view.h"
#include "framework/winapp.h"
#include "platform/clock.h"
#include "platform/scripted_port.h"
#include "qt_test_support.h"

namespace {

using zfw::testing::ProcessUntil;

class MainWindowOnQt : public ::testing::Test {
 protected:
  void SetUp() override {
    view = std::make_unique<zfw::QtView>(std::map<HICON, QIcon>{{IDR_MAINFRAME, ZentrovaIcon()}});
    zfw::SetEnvironment(zfw::Environment{view.get(), &clock});
    windowThread = std::thread([this] {
      COrvikDlg dlg(PortAccess{&ports, &table, {}});
      result = dlg.DoModal();
    });
    ASSERT_TRUE(ProcessUntil([&] { return view->Window() != nullptr && view->Window()->isVisible(); }));
  }
  void TearDown() override {
    if (view->Window() != nullptr) view->Window()->close();  // the close box
    EXPECT_TRUE(ProcessUntil([&] { return finished(); }));
    windowThread.join();
    EXPECT_EQ(result, IDCANCEL);
    zfw::SetEnvironment(zfw::Environment{});
  }
  bool finished() const { return result != -2; }
  QString LabelText(int id) const { return static_cast<QLabel*>(view->Widget(id))->text(); }
  QString ButtonText(int id) const { return static_cast<QAbstractButton*>(view->Widget(id))->text(); }

  CWinApp app{"zentrova"};
  zv::SteadyClock clock;
  zv::ScriptedSerialBackend ports;
  zv::FixedPortTable table;
  std::unique_ptr<zfw::QtView> view;
  std::thread windowThread;
  std::atomic<intptr_t> result{-2};
};

TEST_F(MainWindowOnQt, ShowsTheWindowAtItsFixedSizeWithEveryControlInPlace) {
  QWidget* window = view->Window();
  EXPECT_EQ(window->windowTitle(), "Zentrova");
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "not resizable";
  const QRect client = view->MapDialogRect(CRect{0, 0, 225, 294});
  EXPECT_EQ(window->size(), client.size());
  for (int id : {IDC_RECEIVE, IDC_SET_CONFIG, IDC_LANGUAGE, IDC_RECORD_PERIOD, IDC_PROGRESS, IDC_STATUS}) {
    const zfw::DialogItem* item = MainDialogTemplate().Find(id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(view->Widget(id)->geometry(), view->MapDialogRect(item->rect)) << "control " << id;
  }
  EXPECT_EQ(LabelText(IDC_CAP_PORT), "Порт");
  EXPECT_EQ(ButtonText(IDC_LANGUAGE), "РУС/eng");
  EXPECT_FALSE(view->Widget(IDC_SHUNT_A)->isEnabled());

  const QPixmap shot = window->grab();
  EXPECT_FALSE(shot.isNull());
  shot.save("/tmp/zentrova-main-window.png");
}

TEST_F(MainWindowOnQt, AClickOnTheLanguageToggleReachesItsHandler) {
  static_cast<QAbstractButton*>(view->Widget(IDC_LANGUAGE))->click();
  ASSERT_TRUE(ProcessUntil([&] { return ButtonText(IDC_LANGUAGE) == "рус/ENG"; }));
  EXPECT_TRUE(ProcessUntil([&] { return LabelText(IDC_CAP_PORT) == "Port"; }));
  EXPECT_EQ(ButtonText(IDC_SET_CONFIG), "Set configuration");
  EXPECT_TRUE(static_cast<QAbstractButton*>(view->Widget(IDC_LANGUAGE))->isChecked());
  EXPECT_FALSE(finished()) << "the window stays open";
}

}  // namespace
