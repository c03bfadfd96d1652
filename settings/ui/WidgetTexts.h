#pragma once
#include <QString>
#include <utility>
#include <vector>

class QObject;
class QPushButton;
class QWidget;

// A dialog's labels, buttons and group boxes that show one numbered text each, and the
// widgets with one numbered hint: set (again, after a change of language) in one go.
using CaptionTexts = std::vector<std::pair<QObject*, int>>;
using HintTexts = std::vector<std::pair<QWidget*, int>>;
void applyWidgetTexts(const CaptionTexts& captions, const HintTexts& hints);
// A push button named for tests and scripts whose caption is one numbered text.
QPushButton* captionedButton(QWidget* parent, const char* objectName, int text, CaptionTexts& captions);

// A widget named for tests and scripts.
template <class W>
W* namedWidget(QWidget* parent, const char* objectName) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(objectName));
  return w;
}
