#pragma once
#include <QString>

#include "capture/EventRecord.h"

// The label viewers show for a mark record ("T_3.data.start", "E_0.user stop"); empty for a plain event.
QString markLabel(const EventRecord& record);
// An OLE date as local "YYYY-MM-DD hh:mm:ss.uuuuuu"; "invalid" for values no clock produces.
QString formatOleDate(double oleDate);
