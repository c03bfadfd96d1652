#include "settings/ui/WidgetTexts.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "settings/Texts.h"

void applyWidgetTexts(const CaptionTexts& captions, const HintTexts& hints) {
  for (const auto& [o, text] : captions) {
    if (auto* l = qobject_cast<QLabel*>(o))
      l->setText(Texts::text(text));
    else if (auto* b = qobject_cast<QAbstractButton*>(o))
      b->setText(Texts::text(text));
    else if (auto* g = qobject_cast<QGroupBox*>(o))
      g->setTitle(Texts::text(text));
  }
  for (const auto& [w, text] : hints) w->setToolTip(Texts::text(text));
}

QPushButton* captionedButton(QWidget* parent, const char* objectName, int text, CaptionTexts& captions) {
  auto* b = new QPushButton(parent);
  b->setObjectName(QString::fromLatin1(objectName));
  captions.emplace_back(b, text);
  return b;
}
