#include "settings/ui/SkinLoader.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleFactory>
#include <QStyledItemDelegate>

#include "settings/Configuration.h"
#include "settings/Texts.h"
#include "settings/ui/SkinPictures.h"

using Skins::Picture;
using Skins::Skin;
using SkinPictures::Shape;

namespace {

constexpr int kSystemStyleText = 8145;

// The pictures of the tool bar and menu actions.
struct ActionPicture {
  const char* action;
  Shape shape;
};
constexpr ActionPicture kActionPictures[] = {
    {"actStart", Shape::Record},          {"actStop", Shape::Stop},
    {"actPause", Shape::Pause},           {"actNewRecordFile", Shape::NewFile},
    {"actOpenRecordFile", Shape::OpenFile}, {"actSaveRecordFile", Shape::SaveFile},
    {"actExport", Shape::Export},         {"actPrintReport", Shape::Print},
    {"actSearchEvent", Shape::Search},    {"actDeltaTimeMeasurement", Shape::DeltaTime},
    {"actGotoTP", Shape::GotoTrigger},    {"actGotoMP", Shape::GotoMark},
    {"actFirstEvent", Shape::FirstEvent}, {"actLastEvent", Shape::LastEvent},
    {"actExit", Shape::Exit},             {"actHelp", Shape::Help},
    {"actInfo", Shape::Info},             {"actWinResetAll", Shape::ResetWindows},
};

QPalette darkPalette() {
  const QColor window(45, 45, 48), base(30, 30, 30), text(230, 230, 230), button(60, 60, 64), off(128, 128, 128);
  QPalette p;
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::ToolTipBase, QColor(37, 37, 40));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, off);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, button);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(255, 90, 90));
  p.setColor(QPalette::Light, QColor(80, 80, 84));
  p.setColor(QPalette::Midlight, QColor(66, 66, 70));
  p.setColor(QPalette::Mid, QColor(90, 90, 94));
  p.setColor(QPalette::Dark, QColor(25, 25, 27));
  p.setColor(QPalette::Shadow, QColor(10, 10, 10));
  p.setColor(QPalette::Highlight, QColor(47, 101, 202));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Link, QColor(111, 176, 255));
  p.setColor(QPalette::LinkVisited, QColor(176, 140, 255));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, off);
  p.setColor(QPalette::Disabled, QPalette::Base, window);
  return p;
}

// Qt reports a style sheet it cannot parse only as a warning; it is caught while a
// widget that is never shown is styled with the sheet.
QtMessageHandler previousHandler = nullptr;
bool parseFailed = false;

void catchParseWarning(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("Could not parse"))) {
    parseFailed = true;
    return;
  }
  if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

// The trigger list's check box drawn as the skin's state picture: the model and the
// click that switches a trigger stay as they are.
class StateDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void setDark(bool dark) {
    on_ = SkinPictures::picture(Shape::StateOn, dark);
    off_ = SkinPictures::picture(Shape::StateOff, dark);
  }
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant state = index.data(Qt::CheckStateRole);
    if (!state.isValid() || on_.isNull()) return;
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &o, widget);
    const bool selected = o.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = o.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    painter->fillRect(box, selected ? o.palette.brush(group, QPalette::Highlight) : o.backgroundBrush.style() != Qt::NoBrush
                                                                                      ? o.backgroundBrush
                                                                                      : o.palette.brush(group, QPalette::Base));
    const QPixmap& picture = state.toInt() == Qt::Checked ? on_ : off_;
    const QRect target(QPoint(0, 0), picture.size().boundedTo(box.size()));
    painter->drawPixmap(QRect(box.center() - target.center(), target.size()), picture);
  }

 private:
  QPixmap on_, off_;
};

const PlatformLook& platformLook() {
  static const PlatformLook look = [] {
    PlatformLook l;
    l.style = QApplication::style()->name();
    l.palette = QApplication::palette();
    l.dark = l.palette.color(QPalette::Window).lightness() < 128;
    return l;
  }();
  return look;
}

bool styleSheetParses(const QString& sheet) {
  QWidget probe;
  parseFailed = false;
  previousHandler = qInstallMessageHandler(catchParseWarning);
  probe.setStyleSheet(sheet);
  probe.ensurePolished();
  qInstallMessageHandler(previousHandler);
  previousHandler = nullptr;
  return !parseFailed;
}

SkinLoader::SkinLoader(QString userPath, const Targets& targets, QObject* parent)
    : QObject(parent), userPath_(std::move(userPath)), targets_(targets) {
  platformLook();
  if (targets_.triggerView) {
    stateDelegate_ = new StateDelegate(targets_.triggerView);
    targets_.triggerView->setItemDelegateForColumn(0, stateDelegate_);
  }
}

void SkinLoader::start(const Configuration& c) {
  savedCurrent_ = c.skinCurrent;
  // What the start-up could not use is said once, in one line.
  starting_ = true;
  RegisterSkins(c);
  CreateSkinMenuEntry();
  LoadSkin(c.skinCurrent);
  starting_ = false;
  say({});
}

void SkinLoader::say(const QStringList& problems) {
  pending_ << problems;
  if (starting_ || pending_.isEmpty()) return;
  emit unusable(pending_.join(QStringLiteral("; ")));
  pending_.clear();
}

void SkinLoader::RegisterSkins(const Configuration& c) {
  table_ = Skins::SkinTable(c, QStyleFactory::keys());
  styleSheets_.clear();
  QStringList problems;
  const QList<Skin> skins = table_.skins();
  for (const Skin& s : skins) {
    if (s.number == 0 || RegisterSkin(s)) continue;
    table_.withdraw(s.number);
    const QString path = Skins::SkinTable::styleSheetPath(userPath_, s.name);
    problems << Texts::text(QFile::exists(path) && QFileInfo(path).isReadable() ? Skins::kStyleSheetNotParsed
                                                                                 : Skins::kStyleSheetNotRead)
                    .arg(path);
  }
  say(problems);
}

bool SkinLoader::RegisterSkin(const Skin& skin) {
  const QString path = Skins::SkinTable::styleSheetPath(userPath_, skin.name);
  if (path.isEmpty() || !QFileInfo::exists(path)) return true;  // a skin needs no style sheet
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > Skins::kStyleSheetLimit) return false;
  const QString sheet = QString::fromUtf8(file.read(Skins::kStyleSheetLimit));
  if (file.error() != QFileDevice::NoError || !styleSheetParses(sheet)) return false;
  styleSheets_.insert(skin.number, sheet);
  return true;
}

QAction* SkinLoader::actionNamed(const QString& name) const {
  return targets_.window ? targets_.window->findChild<QAction*>(name) : nullptr;
}

void SkinLoader::CreateSkinMenuEntry() {
  QAction* system = actionNamed(QStringLiteral("actStyleWindows"));
  if (!system) return;
  QMenu* menu = nullptr;
  for (QObject* o : system->associatedObjects())
    if ((menu = qobject_cast<QMenu*>(o))) break;
  delete group_;
  group_ = new QActionGroup(targets_.window);
  group_->setExclusive(true);
  for (QAction* old : targets_.window->findChildren<QAction*>())
    if (old->objectName().startsWith(QLatin1String("actStyle")) && old != system) delete old;
  system->setCheckable(true);
  system->setEnabled(true);
  group_->addAction(system);
  system->disconnect(this);
  connect(system, &QAction::triggered, this, [this] { LoadSkin(0); });
  for (const Skin& s : table_.skins()) {
    if (s.number == 0) continue;
    auto* a = new QAction(displayName(s), targets_.window);
    a->setObjectName(QStringLiteral("actStyle%1").arg(s.number));
    a->setCheckable(true);
    group_->addAction(a);
    if (menu) menu->addAction(a);
    connect(a, &QAction::triggered, this, [this, n = s.number] { LoadSkin(n); });
  }
}

bool SkinLoader::dark() const {
  const Skin* s = table_.find(current_);
  return current_ == 0 || !s ? platformLook().dark : s->dark;
}

QString SkinLoader::displayName(const Skin& skin) {
  if (skin.number != 0) return skin.name;
  return Texts::text(kSystemStyleText).remove(QLatin1Char('&'));
}

int SkinLoader::LoadSkin(int number) {
  QStringList problems;
  if (number != 0 && !table_.find(number)) problems << Texts::text(Skins::kSkinNotOffered).arg(number);
  const int n = table_.usable(number);
  const Skin& skin = *table_.find(n);
  current_ = n;
  applyLook(skin);
  const bool isDark = dark();
  const auto colours = Skins::markColours(isDark);
  for (size_t i = 0; i < colours.size(); ++i) marks_.colours[i] = {colours[i].r, colours[i].g, colours[i].b};
  applyPictures(skin, isDark, &problems);
  if (group_) {
    const QString name = n == 0 ? QStringLiteral("actStyleWindows") : QStringLiteral("actStyle%1").arg(n);
    if (QAction* a = actionNamed(name)) a->setChecked(true);
  }
  // Only a choice is written: a skin that is missing today keeps its number in the file.
  if (n == number && n != savedCurrent_) {
    QString error;
    if (Configuration::saveSkinCurrent(userPath_ + QStringLiteral("Vorlog.ini"), n, &error)) savedCurrent_ = n;
    else problems << Texts::text(Skins::kChoiceNotSaved).arg(error);
  }
  emit applied(marks_);
  say(problems);
  return n;
}

void SkinLoader::applyLook(const Skin& skin) {
  const QString style = skin.number == 0 ? platformLook().style : skin.style;
  if (QApplication::style()->name().compare(style, Qt::CaseInsensitive) != 0)
    if (QStyle* s = QStyleFactory::create(style)) QApplication::setStyle(s);
  if (skin.number == 0) QApplication::setPalette(platformLook().palette);
  else QApplication::setPalette(skin.dark ? darkPalette() : QApplication::style()->standardPalette());
  const QString sheet = styleSheets_.value(skin.number);
  if (qApp->styleSheet() != sheet) qApp->setStyleSheet(sheet);
}

void SkinLoader::applyPictures(const Skin& skin, bool dark, QStringList* problems) {
  for (const ActionPicture& p : kActionPictures)
    if (QAction* a = actionNamed(QString::fromLatin1(p.action))) a->setIcon(SkinPictures::icon(p.shape, dark));
  if (stateDelegate_) {
    stateDelegate_->setDark(dark);
    targets_.triggerView->viewport()->update();
  }

  const QString folder = Skins::SkinTable::skinFolder(userPath_, skin.number);
  struct Button {
    QAbstractButton* button;
    Picture picture;
    Shape shape;
  };
  const Button buttons[] = {{targets_.record, Picture::Record, Shape::Record},
                            {targets_.stop, Picture::Stop, Shape::Stop},
                            {targets_.pause, Picture::Pause, Shape::Pause},
                            {targets_.scrollTop, Picture::ScrollTop, Shape::ScrollTop},
                            {targets_.scrollEnd, Picture::ScrollEnd, Shape::ScrollEnd}};
  for (const Button& b : buttons) {
    if (!b.button) continue;
    QPixmap picture;
    for (const QString& file : Skins::SkinTable::pictureFiles(folder, b.picture)) {
      if (!QFileInfo::exists(file)) continue;
      QImageReader reader(file);
      const QImage image = reader.read();
      if (!image.isNull()) {
        picture = QPixmap::fromImage(image);
        break;
      }
      *problems << Texts::text(Skins::kPictureNotUsed).arg(file);
    }
    const bool small = b.picture == Picture::ScrollTop || b.picture == Picture::ScrollEnd;
    const int size = small ? 12 : 16;
    if (picture.isNull()) picture = SkinPictures::picture(b.shape, dark, size);
    b.button->setIcon(QIcon(picture));
    b.button->setIconSize(QSize(size, size));
    if (small) b.button->setText(QString());
  }
}
