#include "app/MessageForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "settings/ErrorReport.h"
#include "settings/Texts.h"

namespace TextNo {
constexpr int AppTitle = 1, Close = 6002;
}

namespace {

constexpr int kLabelWidth = 450;
constexpr int kTextHeight = 185;
constexpr int kPictureSize = 64;

// The pictures in the order of the image list: information, question, warning, error.
QPixmap pictureOf(MessageKind kind, const QStyle* style) {
  static constexpr QStyle::StandardPixmap kImages[4] = {QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxQuestion,
                                                        QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxCritical};
  int index = 2;  // an unknown kind is shown as a warning
  switch (kind) {
    case MessageKind::Warning: index = 2; break;
    case MessageKind::Error: index = 3; break;
    case MessageKind::Information: index = 0; break;
    case MessageKind::Question: index = 1; break;
  }
  return style->standardIcon(kImages[index]).pixmap(kPictureSize, kPictureSize);
}

}  // namespace

TMessageForm::TMessageForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("MessageForm"));
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  // Application-modal: the window cannot be used behind an open question, yet its
  // timers and port notifications keep running in the wait loop.
  setWindowModality(Qt::ApplicationModal);

  picture_ = new QLabel(this);
  picture_->setObjectName(QStringLiteral("imgKind"));
  picture_->setFixedSize(kPictureSize, kPictureSize);
  lblTitle_ = new QLabel(this);
  lblTitle_->setObjectName(QStringLiteral("lblTitle"));
  lblTitle_->setFixedWidth(kLabelWidth);
  QFont bold = lblTitle_->font();
  bold.setBold(true);
  lblTitle_->setFont(bold);
  lblTitle_->setWordWrap(true);
  lblText_ = new QLabel(this);
  lblText_->setObjectName(QStringLiteral("lblText"));
  lblText_->setFixedSize(kLabelWidth, kTextHeight);
  lblText_->setWordWrap(true);
  lblText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblText_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (int i = 0; i < 3; ++i) {
    btn_[i] = new QPushButton(this);
    btn_[i]->setObjectName(QStringLiteral("btn%1").arg(i + 1));
    btn_[i]->setMinimumWidth(90);
    QPushButton* b = btn_[i];
    connect(b, &QPushButton::clicked, this, [this, b] { btnClicked(b); });
    buttons->addWidget(b);
  }
  buttons->addStretch();

  auto* texts = new QVBoxLayout;
  texts->addWidget(lblTitle_);
  texts->addWidget(lblText_);
  auto* top = new QHBoxLayout;
  top->addWidget(picture_, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addLayout(buttons);
  all->setSizeConstraint(QLayout::SetFixedSize);
}

TMessageForm::~TMessageForm() {
  if (loop_) loop_->exit(0);
}

void TMessageForm::InitialLoads() { hide(); }

int TMessageForm::ShowMessage(const QString& text, const QString& title, MessageKind kind, ButtonSet buttons) {
  if (loop_) {
    // A handler running during the wait (a timer, a port event) must not stack a
    // second box on the first: it gets the answer that changes nothing.
    ++refused_;
    qWarning("message box already open; not shown: %s: %s", qPrintable(title), qPrintable(text));
    return safeAnswer(buttons);
  }
  ++shown_;
  picture_->clear();
  picture_->setPixmap(pictureOf(kind, style()));
  setWindowTitle(title);
  lblTitle_->setText(title);
  lblText_->setText(text);
  for (QPushButton* b : btn_) b->hide();
  QPushButton* first = nullptr;
  for (const MessageButton& b : buttonsOf(buttons)) {
    QPushButton* button = btn_[b.slot - 1];
    button->setText(Texts::text(b.captionText));
    button->show();
    if (!first) first = button;
  }
  set_ = buttons;
  result_ = 0;
  if (first) first->setDefault(true);
  show();
  raise();
  activateWindow();

  QEventLoop loop;
  loop_ = &loop;
  QPointer<TMessageForm> self(this);
  loop.exec();
  if (!self) return safeAnswer(buttons);
  loop_ = nullptr;
  hide();
  return result_;
}

void TMessageForm::btnClicked(QPushButton* sender) {
  const int slot = sender == btn_[0] ? 1 : sender == btn_[1] ? 2 : 3;
  for (const MessageButton& b : buttonsOf(set_)) {
    if (b.slot == slot) {
      finish(b.result);
      return;
    }
  }
}

void TMessageForm::finish(int result) {
  result_ = result;
  hide();
  if (loop_) loop_->quit();
}

// Closing the box without a button (window close, Escape) answers what changes nothing.
void TMessageForm::closeEvent(QCloseEvent* event) {
  if (loop_) {
    event->ignore();
    finish(safeAnswer(set_));
    return;
  }
  QDialog::closeEvent(event);
}

void TMessageForm::reject() {
  if (loop_) finish(safeAnswer(set_));
  else QDialog::reject();
}

void GuiMessages::reportError(int titleText, int messageText, const QString& extra, const char* sourceFile,
                              int sourceLine) {
  ++reports_;
  const ErrorReport r =
      composeErrorReport(titleText, messageText, extra, QString::fromLocal8Bit(sourceFile), sourceLine,
                         Texts::text(TextNo::AppTitle), QCoreApplication::applicationFilePath());
  form_.ShowMessage(r.text, r.title, MessageKind::Error, ButtonSet::Ok);
}

int GuiMessages::showMessage(int titleText, int messageText, MessageKind kind, ButtonSet buttons) {
  return form_.ShowMessage(Texts::text(messageText), Texts::text(titleText), kind, buttons);
}

TProgressForm::TProgressForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ProgressForm"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowStaysOnTopHint);
  lines_ = new QPlainTextEdit(this);
  lines_->setReadOnly(true);
  lines_->setMinimumSize(360, 110);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  btnClose_ = new QPushButton(this);
  btnClose_->setObjectName(QStringLiteral("btnClose"));
  connect(btnClose_, &QPushButton::clicked, this, &TProgressForm::btnCloseClick);
  auto* all = new QVBoxLayout(this);
  all->addWidget(lines_);
  all->addWidget(bar_);
  all->addWidget(btnClose_, 0, Qt::AlignRight);
}

void TProgressForm::Reset() {
  btnClose_->setText(Texts::text(TextNo::Close));
  btnClose_->hide();
  lines_->clear();
  bar_->setValue(0);
  setWindowTitle(Texts::text(TextNo::AppTitle));
  show();
}

void TProgressForm::Step(const QString& text, int percent) {
  bar_->setValue(qBound(0, percent, 100));
  bar_->repaint();
  if (!text.isEmpty()) lines_->appendPlainText(text);
  // Long steps run on this thread; let the window show what has been done so far.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TProgressForm::btnCloseClick() {
  close();
  btnClose_->hide();
}

void TProgressForm::showCloseButton() {
  show();
  btnClose_->show();
}

int TProgressForm::percent() const { return bar_->value(); }

QStringList TProgressForm::lines() const {
  const QString all = lines_->toPlainText();
  return all.isEmpty() ? QStringList() : all.split(QLatin1Char('\n'));
}
