#pragma once
#include <QIcon>
#include <QPixmap>

// The compiled-in pictures of the skins, drawn rather than stored so that the light and
// the dark set cannot drift apart: the same shapes, dark ink on light skins and light
// ink on dark ones.
namespace SkinPictures {

enum class Shape {
  Record, Stop, Pause, ScrollTop, ScrollEnd,  // the five button pictures
  NewFile, OpenFile, SaveFile, Export, Print, Search, DeltaTime, GotoTrigger, GotoMark,
  FirstEvent, LastEvent, Exit, Help, Info, ResetWindows,
  StateOn, StateOff,  // a trigger switched on or off in the trigger list
};

QPixmap picture(Shape shape, bool dark, int size = 16);
// 16, 24 and 32 pixels; the disabled look comes from the style.
QIcon icon(Shape shape, bool dark);

}  // namespace SkinPictures
