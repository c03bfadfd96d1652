#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/MessageForm.h"
#include "settings/Texts.h"
#include "ui/BoxAnswer.h"

namespace {

struct MessageFormTest : ::testing::Test {
  TMessageForm form;
  int ask(ButtonSet set, int slot) {
    BoxAnswer answer(form, {slot});
    return form.ShowMessage(QStringLiteral("text"), QStringLiteral("title"), MessageKind::Question, set);
  }
  QStringList visibleButtons(ButtonSet set) {
    QStringList seen;
    QTimer::singleShot(0, [&] {
      for (int i = 1; i <= 3; ++i)
        if (form.findChild<QPushButton*>(QStringLiteral("btn%1").arg(i))->isVisible()) seen << QString::number(i);
      form.findChild<QPushButton*>(QStringLiteral("btn2"))->isVisible()
          ? form.findChild<QPushButton*>(QStringLiteral("btn2"))->click()
          : form.findChild<QPushButton*>(QStringLiteral("btn1"))->click();
    });
    form.ShowMessage(QString(), QString(), MessageKind::Information, set);
    return seen;
  }
};

TEST_F(MessageFormTest, EveryButtonSetAnswersWithItsResults) {
  EXPECT_EQ(ask(ButtonSet::Ok, 2), ResultOk);
  EXPECT_EQ(ask(ButtonSet::YesNoCancel, 1), ResultYes);
  EXPECT_EQ(ask(ButtonSet::YesNoCancel, 2), ResultNo);
  EXPECT_EQ(ask(ButtonSet::YesNoCancel, 3), ResultCancel);
  EXPECT_EQ(ask(ButtonSet::YesNo, 1), ResultYes);
  EXPECT_EQ(ask(ButtonSet::YesNo, 3), ResultNo);
  // Any other set shows OK alone, which answers -1.
  EXPECT_EQ(ask(static_cast<ButtonSet>(7), 2), ResultClosed);
  EXPECT_FALSE(form.isVisible());
}

TEST_F(MessageFormTest, ShowsOnlyTheButtonsOfTheSet) {
  EXPECT_EQ(visibleButtons(ButtonSet::Ok), QStringList({"2"}));
  EXPECT_EQ(visibleButtons(ButtonSet::YesNoCancel), QStringList({"1", "2", "3"}));
  EXPECT_EQ(visibleButtons(ButtonSet::YesNo), QStringList({"1", "3"}));
  EXPECT_EQ(visibleButtons(static_cast<ButtonSet>(1)), QStringList({"2"}));
}

TEST_F(MessageFormTest, CaptionAndTitleShowTheTitle) {
  QString caption, title, text;
  QTimer::singleShot(0, [&] {
    caption = form.windowTitle();
    title = form.findChild<QLabel*>(QStringLiteral("lblTitle"))->text();
    text = form.findChild<QLabel*>(QStringLiteral("lblText"))->text();
    form.findChild<QPushButton*>(QStringLiteral("btn2"))->click();
  });
  form.ShowMessage(QStringLiteral("the text"), QStringLiteral("the title"), MessageKind::Warning, ButtonSet::Ok);
  EXPECT_EQ(caption, "the title");
  EXPECT_EQ(title, "the title");
  EXPECT_EQ(text, "the text");
}

TEST_F(MessageFormTest, TimersRunAndASecondBoxIsRefusedWhileOneIsOpen) {
  int ticks = 0;
  int second = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ++ticks;
    if (ticks == 3) {
      // A handler during the wait asks too: it gets the safe answer at once.
      second = form.ShowMessage(QStringLiteral("again"), QStringLiteral("t"), MessageKind::Question, ButtonSet::YesNo);
    }
    if (ticks == 5) form.findChild<QPushButton*>(QStringLiteral("btn1"))->click();
  });
  ticker.start(2);
  const int first = form.ShowMessage(QStringLiteral("q"), QStringLiteral("t"), MessageKind::Question, ButtonSet::YesNo);
  EXPECT_EQ(first, ResultYes);
  EXPECT_EQ(second, ResultNo);
  EXPECT_GE(ticks, 5);
  EXPECT_EQ(form.shownCount(), 1);
  EXPECT_EQ(form.refusedCount(), 1);
}

TEST_F(MessageFormTest, ClosingWithoutAButtonChangesNothing) {
  QTimer::singleShot(0, [&] { form.close(); });
  EXPECT_EQ(form.ShowMessage("q", "t", MessageKind::Question, ButtonSet::YesNoCancel), ResultCancel);
  QTimer::singleShot(0, [&] { form.reject(); });
  EXPECT_EQ(form.ShowMessage("q", "t", MessageKind::Question, ButtonSet::YesNo), ResultNo);
}

TEST_F(MessageFormTest, ErrorReportsAppearInTheBox) {
  GuiMessages messages(form);
  QString title, text;
  QTimer::singleShot(0, [&] {
    title = form.findChild<QLabel*>(QStringLiteral("lblTitle"))->text();
    text = form.findChild<QLabel*>(QStringLiteral("lblText"))->text();
    form.findChild<QPushButton*>(QStringLiteral("btn2"))->click();
  });
  VORLOG_REPORT(messages, 3000, 3001, QStringLiteral("\n\n/x/rec.vrd"));
  EXPECT_TRUE(title.endsWith(" [3001]")) << title.toStdString();
  EXPECT_EQ(text, Texts::text(3001) + "\n\n/x/rec.vrd");
  EXPECT_EQ(messages.reportCount(), 1);
}

TEST(ProgressFormTest, StepsAddLinesAndMoveTheBar) {
  TProgressForm p;
  p.Reset();
  EXPECT_TRUE(p.isVisible());
  EXPECT_EQ(p.percent(), 0);
  p.Step(QStringLiteral("one"), 10);
  p.Step(QString(), 30);
  p.Step(QStringLiteral("two"), 170);
  EXPECT_EQ(p.lines(), QStringList({"one", "two"}));
  EXPECT_EQ(p.percent(), 100);
  auto* close = p.findChild<QPushButton*>(QStringLiteral("btnClose"));
  EXPECT_FALSE(close->isVisible());
  EXPECT_EQ(close->text(), Texts::text(6002));
  p.btnCloseClick();
  EXPECT_FALSE(p.isVisible());
  p.Reset();
  EXPECT_TRUE(p.lines().isEmpty());
}

}  // namespace
